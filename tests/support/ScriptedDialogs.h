#pragma once

#include "platform/Dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace cvg::test {

// Answers the program's prompts from a script, records every box it was
// asked to show, and fails the test on an unexpected prompt or on answers
// left over when it is destroyed (or when verify() is called).
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Message, Input, Open, Save, Folder, Color };

    struct Step {
        Kind kind = Kind::Message;
        // Message: the exact text expected (checked byte for byte), its icon and buttons.
        QString text;
        MsgIcon icon = MsgIcon::None;
        MsgButtons buttons = MsgButtons::OK;
        MsgResult answer = MsgResult::OK;
        // Input / folder: the answer (nullopt = cancelled).
        std::optional<QString> textAnswer;
        // File dialogs: the result, and a check of the request.
        FileDialogResult fileAnswer;
        std::function<void(const FileDialogRequest&)> checkFile;
        std::optional<QColor> colorAnswer;
    };

    ~ScriptedDialogs() override;

    // Expect a message box with this exact text, icon and buttons; answer it.
    ScriptedDialogs& expectMessage(const QString& text, MsgIcon icon, MsgButtons buttons,
                                   MsgResult answer);
    ScriptedDialogs& expectWarning(const QString& text)
    {
        return expectMessage(text, MsgIcon::Warning, MsgButtons::OK, MsgResult::OK);
    }
    ScriptedDialogs& expectInfo(const QString& text)
    {
        return expectMessage(text, MsgIcon::None, MsgButtons::OK, MsgResult::OK);
    }
    ScriptedDialogs& expectQuestion(const QString& text, MsgResult answer)
    {
        return expectMessage(text, MsgIcon::None, MsgButtons::YesNo, answer);
    }
    ScriptedDialogs& expectInput(std::optional<QString> answer);
    ScriptedDialogs& expectOpen(FileDialogResult answer,
                                std::function<void(const FileDialogRequest&)> check = {});
    ScriptedDialogs& expectSave(FileDialogResult answer,
                                std::function<void(const FileDialogRequest&)> check = {});
    ScriptedDialogs& expectFolder(std::optional<QString> answer);
    ScriptedDialogs& expectColor(std::optional<QColor> answer);

    // Fails the test if answers are left; clears them.
    void verify();
    bool done() const { return steps_.empty(); }

    // Every message box shown, in order.
    const std::vector<MessageRequest>& shown() const { return shown_; }
    QStringList shownTexts() const;
    std::vector<FileDialogRequest> fileRequests;

    MsgResult message(const MessageRequest& request) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    FileDialogResult openFile(const FileDialogRequest& request) override;
    FileDialogResult saveFile(const FileDialogRequest& request) override;
    std::optional<QString> chooseFolder(const QString& caption) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;

    // The prompts of the last inputText call.
    QString lastInputTitle, lastInputPrompt, lastInputInitial, lastFolderCaption;

private:
    std::optional<Step> next(Kind kind, const QString& what);
    std::deque<Step> steps_;
    std::vector<MessageRequest> shown_;
};

} // namespace cvg::test
