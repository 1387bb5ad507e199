#include "platform/QtDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTranslator>

namespace cvg {

QStringList qtNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& desc = parts[i];
        const QString& pattern = parts[i + 1];
        // Qt reads the patterns from the last parentheses of the description.
        if (desc.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
            out << desc;
        else
            out << desc + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return out;
}

MsgResult QtDialogs::message(const MessageRequest& request)
{
    QMessageBox box(parent_ ? parent_ : QApplication::activeWindow());
    box.setWindowTitle(request.title);
    QString text = request.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(text);
    switch (request.icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    QPushButton* ok = nullptr;
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* cancel = nullptr;
    switch (request.buttons) {
    case MsgButtons::OK:
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setEscapeButton(ok);
        break;
    case MsgButtons::Yes:
        yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        break;
    case MsgButtons::YesNo:
        yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
        break;
    case MsgButtons::YesNoCancel:
        yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
        cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
        box.setEscapeButton(cancel);
        break;
    }
    box.exec();
    const auto* clicked = box.clickedButton();
    if (clicked == nullptr)
        return MsgResult::Closed;
    if (clicked == ok)
        return MsgResult::OK;
    if (clicked == yes)
        return MsgResult::Yes;
    if (clicked == no)
        return MsgResult::No;
    if (clicked == cancel)
        return MsgResult::Cancel;
    return MsgResult::Closed;
}

std::optional<QString> QtDialogs::inputText(const QString& title, const QString& prompt,
                                            const QString& initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

FileDialogResult QtDialogs::runFileDialog(const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(parent_, request.title);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    const QStringList filters = qtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    const int index = request.filterIndex;
    if (index >= 1 && index <= filters.size())
        dialog.selectNameFilter(filters[index - 1]);
    if (!request.initialDir.isEmpty())
        dialog.setDirectory(request.initialDir);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (!request.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(request.defaultExtension);
    FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return result;
    result.accepted = true;
    result.path = dialog.selectedFiles().constFirst();
    result.filterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (result.filterIndex < 1)
        result.filterIndex = index;
    return result;
}

FileDialogResult QtDialogs::openFile(const FileDialogRequest& request) { return runFileDialog(request, false); }

FileDialogResult QtDialogs::saveFile(const FileDialogRequest& request) { return runFileDialog(request, true); }

std::optional<QString> QtDialogs::chooseFolder(const QString& caption)
{
    const QString dir = QFileDialog::getExistingDirectory(
        parent_, caption, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (dir.isEmpty())
        return std::nullopt;
    return dir;
}

std::optional<QColor> QtDialogs::chooseColor(const QColor& initial)
{
    const QColor c = QColorDialog::getColor(initial, parent_, QString(), QColorDialog::DontUseNativeDialog);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

namespace {

// The few texts of Qt's file dialogs that Qt's Japanese translation lacks:
// the file type column's names for folders and drives.
class MissingToolkitTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                      int /*n*/) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const std::pair<const char*, const char*> texts[] = {
            {"Folder", "フォルダー"}, {"Drive", "ドライブ"},      {"File", "ファイル"},
            {"%1 File", "%1 ファイル"}, {"Shortcut", "ショートカット"}, {"Alias", "エイリアス"},
            {"Unknown", "不明"}};
        for (const auto& [english, japanese] : texts)
            if (qstrcmp(source, english) == 0)
                return QString::fromUtf8(japanese);
        return {};
    }
};

} // namespace

void prepareToolkitDialogs(QCoreApplication& app, const QString& settingsFolder)
{
    // The program's language: among others, the file dialogs name the kinds
    // of files in it.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    QCoreApplication::installTranslator(new MissingToolkitTexts(&app));
    // Qt's own settings are the only ones in the native format; the
    // program's settings are an INI file of their own and stay where they are.
    if (!settingsFolder.isEmpty())
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder);
}

} // namespace cvg
