#include "help/ShellLaunch.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace cvg {

namespace {

class DesktopLauncher final : public ShellLauncher {
public:
    void openUrl(const QUrl& url) override { QDesktopServices::openUrl(url); }
    QString findProgram(const QString& name) const override { return QStandardPaths::findExecutable(name); }
    void startProgram(const QString& program, const QStringList& arguments) override
    {
        QProcess::startDetached(program, arguments);
    }
};

DesktopLauncher desktopLauncher;
ShellLauncher* launcherInForce = &desktopLauncher;

struct SettingsProgram {
    const char* desktop; // the desktop it belongs to, as XDG_CURRENT_DESKTOP names it
    const char* program;
    QStringList arguments;
};

bool startFirstFound(
    ShellLauncher& launcher, const QString& desktop, const std::vector<SettingsProgram>& table)
{
    const QStringList running = desktop.toUpper().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    // Two rounds: the running desktop's own programs, then any other.
    for (int round = 0; round < 2; ++round) {
        for (const SettingsProgram& entry : table) {
            const bool own = running.contains(QString::fromLatin1(entry.desktop));
            if (own != (round == 0))
                continue;
            const QString path = launcher.findProgram(QString::fromLatin1(entry.program));
            if (!path.isEmpty()) {
                launcher.startProgram(path, entry.arguments);
                return true;
            }
        }
    }
    return false;
}

} // namespace

ShellLauncher& shellLauncher()
{
    return *launcherInForce;
}

ShellLauncher* setShellLauncher(ShellLauncher* launcher)
{
    ShellLauncher* before = launcherInForce;
    launcherInForce = launcher ? launcher : &desktopLauncher;
    return before;
}

QString currentDesktop()
{
    return QString::fromLocal8Bit(qgetenv("XDG_CURRENT_DESKTOP"));
}

bool openMouseSettings(ShellLauncher& launcher, const QString& desktop)
{
    static const std::vector<SettingsProgram> table = {
        { "GNOME", "gnome-control-center", { QStringLiteral("mouse") } },
        { "KDE", "systemsettings", { QStringLiteral("kcm_mouse") } },
        { "KDE", "systemsettings5", { QStringLiteral("kcm_mouse") } },
        { "XFCE", "xfce4-mouse-settings", {} },
        { "MATE", "mate-mouse-properties", {} },
        { "X-CINNAMON", "cinnamon-settings", { QStringLiteral("mouse") } },
        { "LXQT", "lxqt-config-input", {} },
        { "LXDE", "lxinput", {} },
    };
    return startFirstFound(launcher, desktop, table);
}

bool openSystemInformation(ShellLauncher& launcher, const QString& desktop)
{
    static const std::vector<SettingsProgram> table = {
        { "GNOME", "gnome-control-center", { QStringLiteral("info-overview") } },
        { "KDE", "kinfocenter", {} },
        { "XFCE", "xfce4-about", {} },
        { "MATE", "mate-system-monitor", {} },
        { "X-CINNAMON", "cinnamon-settings", { QStringLiteral("info") } },
        { "", "hardinfo", {} },
    };
    return startFirstFound(launcher, desktop, table);
}

} // namespace cvg
