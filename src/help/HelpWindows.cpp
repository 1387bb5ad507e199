// Help, the version window, the desktop launches and the worksheet settings
// dialog.
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "help/ShellLaunch.h"
#include "help/THelpViewer.h"
#include "shell/TfrmMain.h"
#include "worksheet/TfrmSheet.h"
#include "help/TfrmVersion.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QWindow>
#include <functional>

namespace cvg {

namespace {

const QString kHelpFileName = QStringLiteral("cvghelp.chm");

// The help file beside the program: its folder without the trailing
// delimiter, the delimiter, the file name.
QString helpFilePath(const QString& programFolder)
{
    QString folder = programFolder;
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QLatin1Char('/') + kHelpFileName;
}

} // namespace

QDialog* createVersionWindow(TfrmMain& main, AppContext& context)
{
    return new TfrmVersion(&main, context);
}

TToolWindow* createSheetWindow(TfrmMain& main, AppContext& context)
{
    return new TfrmSheet(main, context);
}

void ToolWindows::connectHelpActions()
{
    TfrmMain& main = main_;
    auto bind = [&main](const char* name, std::function<void()> handler) {
        QObject::connect(main.action(QString::fromLatin1(name)), &QAction::triggered, &main,
            [&main, handler] { main.runCommand(handler); });
    };
    bind("acHelp", [this] { ShowHelpTopic(QStringLiteral("Introduction.htm")); });
    bind("Version", [this] { static_cast<TfrmVersion*>(frmVersion)->ShowModal(); });
    bind("acNewVersion", [] { shellLauncher().openUrl(QUrl(kMakerWebPage)); });
    bind("BugReport", [] { shellLauncher().openUrl(QUrl(kFaultReportPage)); });
    bind("acMouse", [] { openMouseSettings(shellLauncher(), currentDesktop()); });
    bind("acSystem", [] { openSystemInformation(shellLauncher(), currentDesktop()); });
    // The command shows itself checked while its dialog is open.
    main.action(QStringLiteral("SheetConfigulation"))->setCheckable(true);
    bind("SheetConfigulation", [this] { static_cast<TfrmSheet*>(frmSheet)->SheetConfigulationExecute(); });
}

void ToolWindows::ShowHelpTopic(const QString& topic)
{
    AppContext& context = main_.context();
    const QString path = helpFilePath(context.programFolder);
    if (!QFileInfo(path).isFile()) {
        context.dialogs.info(path + QStringLiteral("ファイルが見つかりませんでした"));
        return;
    }
    auto* viewer = main_.findChild<THelpViewer*>(QStringLiteral("HelpViewer"), Qt::FindDirectChildrenOnly);
    if (!viewer) {
        viewer = new THelpViewer(&main_);
        viewer->move((context.screenSize.width() - viewer->width()) / 2,
            (context.screenSize.height() - viewer->height()) / 2);
    }
    if (!viewer->openFile(path)) {
        context.dialogs.warning(path + QStringLiteral("はヘルプファイルとして読めませんでした"));
        return;
    }
    viewer->showTopic(topic);
    // Asked from a modal dialog, the help window must still take input: it
    // stands in front of that dialog instead of being blocked by it.
    QWidget* modal = QApplication::activeModalWidget();
    viewer->winId();
    if (QWindow* handle = viewer->windowHandle())
        handle->setTransientParent(modal && modal != viewer ? modal->windowHandle() : main_.windowHandle());
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

} // namespace cvg
