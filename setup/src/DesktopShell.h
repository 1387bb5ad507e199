#pragma once

#include "UserFolders.h"

#include <QString>

namespace cvg::setup {

// The desktop services the installer uses.
class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // Opens a document with the application the desktop associates with it.
    virtual bool openDocument(const QString& path) = 0;
    // Tells the desktop that menus, file associations and icons changed:
    // rebuilds the MIME and desktop-entry caches of the user's folders, and
    // the icon cache where the user's icon theme keeps one, at once.
    virtual void associationsChanged(const UserFolders& folders) = 0;
};

// Runs the freedesktop cache tools with argument lists (never a shell);
// a missing tool or a failure is not reported.
class SystemShell : public DesktopShell {
public:
    bool openDocument(const QString& path) override;
    void associationsChanged(const UserFolders& folders) override;
};

} // namespace cvg::setup
