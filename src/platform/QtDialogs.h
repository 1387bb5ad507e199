#pragma once

#include "platform/Dialogs.h"

class QWidget;

namespace cvg {

// The real dialogs: Qt's message box, input box, file dialogs, folder and
// colour choosers, with Japanese button texts.
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

} // namespace cvg
