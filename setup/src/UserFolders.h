#pragma once

#include <QString>

namespace cvg::setup {

// The per-user places the installer writes to: the desktop's menu and
// association folders stand in for the shell's program menu and registry.
struct UserFolders {
    QString home;
    QString dataHome; // $XDG_DATA_HOME, usually ~/.local/share
    QString configHome; // $XDG_CONFIG_HOME, usually ~/.config

    static UserFolders fromEnvironment();

    QString applications() const;
    // The menu folder that holds one desktop entry per shortcut title.
    QString groupFolder() const;
    QString shortcutFile(const QString& title) const;
    // Makes the group folder a submenu of its own in menus that follow the merge rules.
    QString groupMenuFile() const;
    QString groupDirectoryFile() const;
    // The ".cvd" association: MIME package, the entry that opens documents, the default choice.
    QString mimeFolder() const;
    QString mimePackage() const;
    QString handlerEntry() const;
    QString uninstallEntry() const;
    QString mimeAppsList() const;
    // The per-user record of the classes-root keys and the uninstall entry.
    QString registrationRecord() const;
    // The desktop's default icon theme, where the program's icon goes.
    QString iconTheme() const;
    // The main program's settings: everything below the maker's key.
    QString settingsFolder() const;
    QString settingsFile() const;
};

} // namespace cvg::setup
