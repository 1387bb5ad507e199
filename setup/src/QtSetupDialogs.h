#pragma once

#include "SetupDialogs.h"

class QWidget;

namespace cvg::setup {

// Real message boxes and the desktop's folder chooser.
class QtSetupDialogs final : public SetupDialogs {
public:
    // The window the boxes belong to, so they stay above it.
    void setParentWidget(QWidget* parent) { parent_ = parent; }
    BoxResult message(const Box& box) override;
    std::optional<QString> chooseFolder(const QString& caption, const QString& rootName) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace cvg::setup
