#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

namespace cvg {

// The title of every message box that has none of its own.
inline const QString kAppTitle = QStringLiteral("Curvegleaner");

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { OK, YesNo, YesNoCancel, Yes };
// Closed: the box was dismissed without pressing a button (Esc, close box).
enum class MsgResult { Closed, OK, Yes, No, Cancel };

struct MessageRequest {
    QString text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::OK;
    QString title = kAppTitle;
};

// A file dialog's filter list is written as "description|pattern|description|pattern...".
struct FileDialogRequest {
    QString title;
    QString filter;
    int filterIndex = 1;      // 1-based, preselected
    QString initialDir;       // empty: the dialog's own choice
    QString fileName;         // proposed name
    QString defaultExtension; // without the dot; empty: none
    bool overwritePrompt = false;
};

struct FileDialogResult {
    bool accepted = false;
    QString path;
    int filterIndex = 1; // the filter selected when the dialog closed
};

// Every box, prompt and chooser goes through here so that tests can answer
// them from a script.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgResult message(const MessageRequest& request) = 0;
    // Returns nothing when cancelled.
    virtual std::optional<QString> inputText(const QString& title, const QString& prompt,
                                             const QString& initial) = 0;
    virtual FileDialogResult openFile(const FileDialogRequest& request) = 0;
    virtual FileDialogResult saveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> chooseFolder(const QString& caption) = 0;
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;

    // Shorthands for the common boxes.
    MsgResult warning(const QString& text)
    {
        return message({text, MsgIcon::Warning, MsgButtons::OK, kAppTitle});
    }
    MsgResult error(const QString& text)
    {
        return message({text, MsgIcon::Error, MsgButtons::OK, kAppTitle});
    }
    MsgResult info(const QString& text) // plain message: no icon, OK
    {
        return message({text, MsgIcon::None, MsgButtons::OK, kAppTitle});
    }
    MsgResult ask(const QString& text) // plain question: no icon, Yes and No
    {
        return message({text, MsgIcon::None, MsgButtons::YesNo, kAppTitle});
    }
};

} // namespace cvg
