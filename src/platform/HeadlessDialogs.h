#pragma once

#include "platform/Dialogs.h"

#include <functional>

namespace cvg {

// The dialogs of a run without a person: every message is handed to report
// (if set) and answered OK, a question No; choosers and input boxes are
// cancelled. Used by the command-line tool, the sample maker, benchmarks and
// fuzz targets.
class HeadlessDialogs final : public Dialogs {
public:
    explicit HeadlessDialogs(std::function<void(const QString&)> report = {}) : report_(std::move(report)) {}

    MsgResult message(const MessageRequest& request) override
    {
        if (report_)
            report_(request.text);
        return request.buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::No;
    }
    std::optional<QString> inputText(const QString&, const QString&, const QString&) override { return {}; }
    FileDialogResult openFile(const FileDialogRequest&) override { return {}; }
    FileDialogResult saveFile(const FileDialogRequest&) override { return {}; }
    std::optional<QString> chooseFolder(const QString&) override { return {}; }
    std::optional<QColor> chooseColor(const QColor&) override { return {}; }

private:
    std::function<void(const QString&)> report_;
};

} // namespace cvg
