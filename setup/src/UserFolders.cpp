#include "UserFolders.h"

#include "DesktopFiles.h"
#include "ProductFiles.h"

#include <QDir>
#include <QStandardPaths>

namespace cvg::setup {

UserFolders UserFolders::fromEnvironment()
{
    UserFolders f;
    f.home = QDir::homePath();
    f.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    f.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return f;
}

QString UserFolders::applications() const
{
    return joinPath(dataHome, QStringLiteral("applications"));
}

QString UserFolders::groupFolder() const
{
    return joinPath(applications(), kGroupFolder);
}

QString UserFolders::shortcutFile(const QString& title) const
{
    return joinPath(groupFolder(), title + QStringLiteral(".desktop"));
}

QString UserFolders::groupMenuFile() const
{
    return joinPath(
        configHome, QStringLiteral("menus/applications-merged/") + kProductFolder + QStringLiteral(".menu"));
}

QString UserFolders::groupDirectoryFile() const
{
    return joinPath(
        dataHome, QStringLiteral("desktop-directories/") + kProductFolder + QStringLiteral(".directory"));
}

QString UserFolders::mimeFolder() const
{
    return joinPath(dataHome, QStringLiteral("mime"));
}

QString UserFolders::mimePackage() const
{
    return joinPath(mimeFolder(), QStringLiteral("packages/") + kProductFolder + QStringLiteral(".xml"));
}

QString UserFolders::handlerEntry() const
{
    return joinPath(applications(), kHandlerId);
}

QString UserFolders::uninstallEntry() const
{
    return joinPath(applications(), kUninstallId);
}

QString UserFolders::mimeAppsList() const
{
    return joinPath(configHome, QStringLiteral("mimeapps.list"));
}

QString UserFolders::registrationRecord() const
{
    return joinPath(dataHome, kProductFolder + QStringLiteral("/registration.txt"));
}

QString UserFolders::iconTheme() const
{
    return joinPath(dataHome, QStringLiteral("icons/hicolor"));
}

QString UserFolders::settingsFolder() const
{
    return joinPath(configHome, QStringLiteral("Velmoran"));
}

QString UserFolders::settingsFile() const
{
    return joinPath(configHome, QStringLiteral("Velmoran.ini"));
}

} // namespace cvg::setup
