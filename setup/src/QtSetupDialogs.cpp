#include "QtSetupDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

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
    QAbstractButton* only = m.addButton(box.buttons == BoxButtons::Yes ? QMessageBox::Yes : QMessageBox::Ok);
    m.exec();
    if (m.clickedButton() != only)
        return BoxResult::Closed;
    return box.buttons == BoxButtons::Yes ? BoxResult::Yes : BoxResult::OK;
}

std::optional<QString> QtSetupDialogs::chooseFolder(const QString& caption, const QString& /*rootName*/)
{
    // The chooser starts at the desktop; the desktop's own dialog names its places itself.
    const QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString folder
        = QFileDialog::getExistingDirectory(parent_, caption, start, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

} // namespace cvg::setup
