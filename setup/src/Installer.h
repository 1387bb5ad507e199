#pragma once

#include "DesktopShell.h"
#include "ProductFiles.h"
#include "SetupDialogs.h"
#include "UserFolders.h"

#include <QString>

namespace cvg::setup {

// The install and uninstall steps, without windows: the boxes go through
// `SetupDialogs`, the desktop's caches through `DesktopShell`.
class Installer {
public:
    // `setupFolder`: the folder of the running installer, where the program's files lie.
    Installer(QString setupFolder, UserFolders folders, SetupDialogs& dialogs, DesktopShell& shell);

    const QString& setupFolder() const { return setupFolder_; }
    const UserFolders& folders() const { return folders_; }
    // Installing needs the main program beside the installer.
    bool programPresent() const;
    QString defaultTarget() const;

    // Installs into `target`. True when the final box was answered with OK
    // (the installer then ends); false when it was dismissed or the folder was refused.
    bool install(const QString& target);
    // Removes the shortcuts and the installed files, and after the final box
    // (answered with OK: true) the settings, the registrations and the icon.
    bool uninstall();

private:
    void writeShortcut(const QString& target, const QString& installed, const ProgramFile& file);
    void installIcon();
    void removeIcon();
    void registerDocuments(const QString& target);
    void unregisterDocuments();
    BoxResult tell(const QString& text, BoxIcon icon);

    QString setupFolder_;
    UserFolders folders_;
    SetupDialogs& dialogs_;
    DesktopShell& shell_;
};

} // namespace cvg::setup
