// The program's entry: splash, single instance, windows, message loop.
#include "platform/QtDialogs.h"
#include "platform/SettingsStore.h"
#include "shell/AppContext.h"
#include "shell/Icons.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLockFile>
#include <QScreen>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

bool displayAvailable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return true; // the user chose a platform (offscreen, vnc, ...)
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}

// The lock that keeps a second instance from starting, per user.
QString instanceLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/Curvegleaner32-hPrevInst.lock");
}

} // namespace

int main(int argc, char* argv[])
{
    if (!displayAvailable()) {
        std::fputs("cvglean: no display found (DISPLAY is not set). Run it under a virtual display "
                   "with `xvfb-run -a ./run`; the command-line tool cvglean-cli needs no display.\n",
                   stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Curvegleaner32"));
    QApplication::setOrganizationName(QStringLiteral("Velmoran"));
    QApplication::setWindowIcon(cvg::programIcon());
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    QApplication::setFont(font);

    // Splash first, painted at once.
    QLabel splash(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen);
    splash.setPixmap(cvg::splashPicture());
    splash.setFixedSize(293, 230);
    splash.setStyleSheet(QStringLiteral("background: white;"));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        splash.move(screen->geometry().center() - QPoint(293 / 2, 230 / 2));
    splash.show();
    splash.repaint();
    QApplication::processEvents();

    // One instance per user: a second start ends quietly.
    QLockFile instanceLock(instanceLockPath());
    instanceLock.setStaleLockTime(0);
    if (!instanceLock.tryLock(0))
        return 0;

    cvg::QSettingsStore store;
    cvg::prepareToolkitDialogs(app, QFileInfo(store.fileName()).absolutePath());
    cvg::QtDialogs dialogs;
    QStringList args = QApplication::arguments();
    cvg::AppContext context{store, dialogs,
                            QDir(QApplication::applicationDirPath()).absolutePath() + QLatin1Char('/'),
                            args.value(1)};
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        context.screenSize = screen->size();
        context.screenDpi = screen->logicalDotsPerInchX();
    }

    cvg::TfrmMain frmMain(context);
    dialogs.setParent(&frmMain);
    splash.close();
    cvg::ToolWindows windows(frmMain, context);
    frmMain.setToolWindows(&windows);
    frmMain.show();
    const int result = QApplication::exec();
    frmMain.setToolWindows(nullptr);
    return result;
}
