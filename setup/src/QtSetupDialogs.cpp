#include "QtSetupDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
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

namespace {

// The few texts of Qt's folder chooser that Qt's Japanese translation lacks:
// the type column's names for folders and drives.
class MissingToolkitTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(
        const char* context, const char* source, const char* /*disambiguation*/, int /*n*/) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const std::pair<const char*, const char*> texts[] = { { "Folder", "フォルダー" },
            { "Drive", "ドライブ" }, { "File", "ファイル" }, { "%1 File", "%1 ファイル" },
            { "Shortcut", "ショートカット" }, { "Alias", "エイリアス" }, { "Unknown", "不明" } };
        for (const auto& [english, japanese] : texts)
            if (qstrcmp(source, english) == 0)
                return QString::fromUtf8(japanese);
        return {};
    }
};

} // namespace

void prepareToolkitDialogs(QCoreApplication& app, const QString& stateFolder)
{
    // The installer's language: among others, the chooser names the kinds of
    // files in it.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    QCoreApplication::installTranslator(new MissingToolkitTexts(&app));
    // Qt's dialogs keep their state in Qt's own settings file; the installer
    // keeps no settings, so that file goes where nothing of it outlives the run.
    if (!stateFolder.isEmpty())
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, stateFolder);
}

} // namespace cvg::setup
