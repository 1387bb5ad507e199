#pragma once

#include <QSize>
#include <QString>

namespace cvg {

class Dialogs;
class SettingsStore;

// What every window is given at creation: the settings store, the dialogs
// (real ones in the program, scripted ones in tests), and facts about the
// program and the screen.
struct AppContext {
    SettingsStore& store;
    Dialogs& dialogs;
    QString programFolder;   // folder of the running program, with a trailing "/"
    QString commandLineFile; // the first command-line argument, if any
    QSize screenSize{1920, 1080};
    double screenDpi = 96.0;
};

} // namespace cvg
