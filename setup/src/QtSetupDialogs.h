#pragma once

#include "SetupDialogs.h"

class QCoreApplication;
class QWidget;

namespace cvg::setup {

// Real message boxes and Qt's own folder chooser, never the platform's, so
// that both speak Japanese whatever the machine's locale.
class QtSetupDialogs final : public SetupDialogs {
public:
    // The window the boxes belong to, so they stay above it.
    void setParentWidget(QWidget* parent) { parent_ = parent; }
    BoxResult message(const Box& box) override;
    std::optional<QString> chooseFolder(const QString& caption, const QString& rootName) override;

private:
    QWidget* parent_ = nullptr;
};

// Makes Qt's own texts (the folder chooser's labels and buttons, the edit
// field's menu) Japanese, and keeps the folder chooser's remembered state
// in `stateFolder` instead of the settings file Qt keeps in the user's
// configuration folder, which the installer must not leave behind.
void prepareToolkitDialogs(QCoreApplication& app, const QString& stateFolder);

} // namespace cvg::setup
