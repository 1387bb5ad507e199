#include "QtSetupDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>

namespace cvg::setup {

BoxResult QtSetupDialogs::message(const Box& box)
{
    QMessageBox m(parent_);
    m.setWindowTitle(box.title);
    m.setText(box.text);
    m.setTextFormat(Qt::PlainText);
    switch (box.icon) {
    case BoxIcon::None:
        m.setIcon(QMessageBox::NoIcon);
        break;
    case BoxIcon::Information:
        m.setIcon(QMessageBox::Information);
        break;
    case BoxIcon::Warning:
        m.setIcon(QMessageBox::Warning);
        break;
    }
    QPushButton* ok = m.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    m.setDefaultButton(ok);
    m.exec();
    return m.clickedButton() == ok ? BoxResult::OK : BoxResult::Closed;
}

std::optional<QString> QtSetupDialogs::chooseFolder(const QString& caption, const QString& /*rootName*/)
{
    // The chooser starts at the desktop and lists its places itself.
    const QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString folder = QFileDialog::getExistingDirectory(
        parent_, caption, start, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

void prepareToolkitDialogs(QCoreApplication& app, const QString& stateFolder)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    // Qt's dialogs keep their state in Qt's own settings file; the installer
    // keeps no settings, so that file goes where nothing of it outlives the run.
    if (!stateFolder.isEmpty())
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, stateFolder);
}

} // namespace cvg::setup
