#pragma once

#include "ScriptedDialogs.h"
#include "platform/SettingsStore.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QByteArray>
#include <QEvent>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>

namespace cvg::test {

// A mouse event sent straight to a widget, at a point of its own.
void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// A stored settings value made of 32-bit little-endian integers.
QByteArray ints(std::initializer_list<int32_t> values);

// The whole program's windows on the offscreen platform, with an in-memory
// settings store and scripted dialogs.
class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the windows from the current store (as a start of the program).
    void start();
    // Closes the main window as the user would; false when the close was refused.
    bool closeMain();

    MemorySettingsStore store;
    ScriptedDialogs dialogs;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<TfrmMain> main;
    std::unique_ptr<ToolWindows> windows;
};

} // namespace cvg::test
