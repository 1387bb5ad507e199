#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace cvg {

// The maker's addresses: the web page (also the version check), the fault
// report page on the same site, and the mail address.
inline const QString kMakerSite = QStringLiteral("https://www.example.com");
inline const QString kMakerWebPage = kMakerSite + QStringLiteral("/");
inline const QString kFaultReportPage = kMakerSite + QStringLiteral("/Curvegleaner/cvgbug.html");
inline const QString kMakerMailAddress = QStringLiteral("mailto:cvg@example.com");

// Hands web pages, mail addresses and settings programs to the desktop. A
// failure of the desktop (no browser, no mail program) passes silently.
class ShellLauncher {
public:
    virtual ~ShellLauncher() = default;
    virtual void openUrl(const QUrl& url) = 0;
    // The full path of a program found on the search path, or empty.
    virtual QString findProgram(const QString& name) const = 0;
    // Starts a program detached, with an argument list (never a shell line).
    virtual void startProgram(const QString& program, const QStringList& arguments) = 0;
};

// The launcher in force: the desktop's own unless another was set.
ShellLauncher& shellLauncher();
// Puts another launcher in force (nullptr: the desktop's again); returns the
// one that was in force.
ShellLauncher* setShellLauncher(ShellLauncher* launcher);

// Opens the desktop's mouse settings, or its system information, with the
// first settings program found; programs of the running desktop (a list
// like XDG_CURRENT_DESKTOP, "GNOME:Unity") are tried first. Returns false
// when none was found; then nothing happens.
bool openMouseSettings(ShellLauncher& launcher, const QString& desktop);
bool openSystemInformation(ShellLauncher& launcher, const QString& desktop);
// The running desktop's names.
QString currentDesktop();

} // namespace cvg
