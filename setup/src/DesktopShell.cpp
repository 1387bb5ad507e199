#include "DesktopShell.h"

#include "DesktopFiles.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace cvg::setup {

namespace {

// The cache tools finish in well under a second; a hung one must not hang the installer.
constexpr int kToolTimeoutMs = 30000;

void runTool(const QString& program, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return;
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(path, arguments);
    if (!p.waitForStarted(kToolTimeoutMs))
        return;
    if (!p.waitForFinished(kToolTimeoutMs)) {
        p.kill();
        p.waitForFinished(kToolTimeoutMs);
    }
}

} // namespace

bool SystemShell::openDocument(const QString& path)
{
    const QString opener = QStandardPaths::findExecutable(kOpener);
    if (opener.isEmpty())
        return false;
    return QProcess::startDetached(opener, { path });
}

void SystemShell::associationsChanged(const UserFolders& folders)
{
    if (QFileInfo(folders.mimeFolder() + QStringLiteral("/packages")).isDir())
        runTool(QStringLiteral("update-mime-database"), { folders.mimeFolder() });
    if (QFileInfo(folders.applications()).isDir())
        runTool(QStringLiteral("update-desktop-database"), { folders.applications() });
    // Without a cache the desktop reads the theme's folders themselves; a cache
    // that is there must learn of the icon, or lose it.
    if (QFileInfo(folders.iconTheme() + QStringLiteral("/icon-theme.cache")).isFile())
        runTool(QStringLiteral("gtk-update-icon-cache"),
            { QStringLiteral("--quiet"), QStringLiteral("--force"), QStringLiteral("--ignore-theme-index"),
                folders.iconTheme() });
}

} // namespace cvg::setup
