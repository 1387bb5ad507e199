#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace cvg::test {

namespace {
const char* kindName(ScriptedDialogs::Kind k)
{
    switch (k) {
    case ScriptedDialogs::Kind::Message: return "message box";
    case ScriptedDialogs::Kind::Input: return "input box";
    case ScriptedDialogs::Kind::Open: return "open dialog";
    case ScriptedDialogs::Kind::Save: return "save dialog";
    case ScriptedDialogs::Kind::Folder: return "folder chooser";
    case ScriptedDialogs::Kind::Color: return "colour chooser";
    }
    return "?";
}
} // namespace

ScriptedDialogs::~ScriptedDialogs() { verify(); }

void ScriptedDialogs::verify()
{
    for (const Step& s : steps_)
        ADD_FAILURE() << "expected " << kindName(s.kind) << " was never shown: "
                      << s.text.toStdString();
    steps_.clear();
}

QStringList ScriptedDialogs::shownTexts() const
{
    QStringList out;
    for (const MessageRequest& r : shown_)
        out << r.text;
    return out;
}

ScriptedDialogs& ScriptedDialogs::expectMessage(const QString& text, MsgIcon icon,
                                                MsgButtons buttons, MsgResult answer)
{
    Step s;
    s.kind = Kind::Message;
    s.text = text;
    s.icon = icon;
    s.buttons = buttons;
    s.answer = answer;
    steps_.push_back(s);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::expectInput(std::optional<QString> answer)
{
    Step s;
    s.kind = Kind::Input;
    s.textAnswer = std::move(answer);
    steps_.push_back(s);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::expectOpen(FileDialogResult answer,
                                             std::function<void(const FileDialogRequest&)> check)
{
    Step s;
    s.kind = Kind::Open;
    s.fileAnswer = answer;
    s.checkFile = std::move(check);
    steps_.push_back(s);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::expectSave(FileDialogResult answer,
                                             std::function<void(const FileDialogRequest&)> check)
{
    Step s;
    s.kind = Kind::Save;
    s.fileAnswer = answer;
    s.checkFile = std::move(check);
    steps_.push_back(s);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::expectFolder(std::optional<QString> answer)
{
    Step s;
    s.kind = Kind::Folder;
    s.textAnswer = std::move(answer);
    steps_.push_back(s);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::expectColor(std::optional<QColor> answer)
{
    Step s;
    s.kind = Kind::Color;
    s.colorAnswer = answer;
    steps_.push_back(s);
    return *this;
}

std::optional<ScriptedDialogs::Step> ScriptedDialogs::next(Kind kind, const QString& what)
{
    if (steps_.empty()) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << ": " << what.toStdString();
        return std::nullopt;
    }
    Step s = steps_.front();
    steps_.pop_front();
    if (s.kind != kind) {
        ADD_FAILURE() << "expected " << kindName(s.kind) << " \"" << s.text.toStdString()
                      << "\" but got " << kindName(kind) << ": " << what.toStdString();
        return std::nullopt;
    }
    return s;
}

MsgResult ScriptedDialogs::message(const MessageRequest& request)
{
    shown_.push_back(request);
    const auto s = next(Kind::Message, request.text);
    if (!s)
        return MsgResult::Closed;
    EXPECT_EQ(request.text.toStdString(), s->text.toStdString());
    EXPECT_EQ(int(request.icon), int(s->icon)) << "icon of: " << request.text.toStdString();
    EXPECT_EQ(int(request.buttons), int(s->buttons)) << "buttons of: " << request.text.toStdString();
    EXPECT_EQ(request.title.toStdString(), kAppTitle.toStdString());
    return s->answer;
}

std::optional<QString> ScriptedDialogs::inputText(const QString& title, const QString& prompt,
                                                  const QString& initial)
{
    lastInputTitle = title;
    lastInputPrompt = prompt;
    lastInputInitial = initial;
    const auto s = next(Kind::Input, title + QStringLiteral(": ") + prompt);
    return s ? s->textAnswer : std::nullopt;
}

FileDialogResult ScriptedDialogs::openFile(const FileDialogRequest& request)
{
    fileRequests.push_back(request);
    const auto s = next(Kind::Open, request.filter);
    if (!s)
        return {};
    if (s->checkFile)
        s->checkFile(request);
    return s->fileAnswer;
}

FileDialogResult ScriptedDialogs::saveFile(const FileDialogRequest& request)
{
    fileRequests.push_back(request);
    const auto s = next(Kind::Save, request.filter);
    if (!s)
        return {};
    if (s->checkFile)
        s->checkFile(request);
    return s->fileAnswer;
}

std::optional<QString> ScriptedDialogs::chooseFolder(const QString& caption)
{
    lastFolderCaption = caption;
    const auto s = next(Kind::Folder, caption);
    return s ? s->textAnswer : std::nullopt;
}

std::optional<QColor> ScriptedDialogs::chooseColor(const QColor& initial)
{
    const auto s = next(Kind::Color, initial.name());
    return s ? s->colorAnswer : std::nullopt;
}

} // namespace cvg::test
