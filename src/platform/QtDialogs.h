#pragma once

#include "platform/Dialogs.h"

class QCoreApplication;
class QWidget;

namespace cvg {

// The real dialogs: Qt's message box, input box, file dialogs, folder and
// colour choosers, with Japanese button texts. Qt's own dialogs are used,
// never the platform's, so that they follow the program's language.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    MsgResult message(const MessageRequest& request) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    FileDialogResult openFile(const FileDialogRequest& request) override;
    FileDialogResult saveFile(const FileDialogRequest& request) override;
    std::optional<QString> chooseFolder(const QString& caption) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;

private:
    FileDialogResult runFileDialog(const FileDialogRequest& request, bool save);
    QWidget* parent_;
};

// "desc|pattern|desc|pattern" as Qt's name filters, one per entry.
QStringList qtNameFilters(const QString& filter);

// Makes Qt's own texts (the labels and buttons of its file dialogs, colour
// chooser and input box, the edit fields' menus) Japanese whatever the
// machine's locale, and keeps the file dialogs' remembered places in
// `settingsFolder` (the program's settings folder) instead of the settings
// file Qt shares between all its programs, so that they go with the
// program's settings.
void prepareToolkitDialogs(QCoreApplication& app, const QString& settingsFolder);

} // namespace cvg
