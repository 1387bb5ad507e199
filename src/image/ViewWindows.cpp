// The scope, overview and magnification windows and the main window's
// actions that show them.
#include "image/TfImage.h"
#include "image/TfMagnification.h"
#include "shell/TfrmMain.h"
#include "image/TfrmScope.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <functional>

namespace cvg {

TToolWindow* createScopeWindow(TfrmMain& main, AppContext& context)
{
    return new TfrmScope(main, context);
}

TToolWindow* createOverviewWindow(TfrmMain& main, AppContext& context)
{
    return new TfImage(main, context);
}

TToolWindow* createMagnificationWindow(TfrmMain& main, AppContext& context)
{
    return new TfMagnification(main, context);
}

void ToolWindows::connectViewActions()
{
    TfrmMain& main = main_;
    auto bind = [&main](const char* name, std::function<void()> handler) {
        QObject::connect(main.action(QString::fromLatin1(name)), &QAction::triggered, &main,
            [&main, handler] { main.runCommand(handler); });
    };
    // Checked while the dialog is open.
    main.action(QStringLiteral("acImageMagnification"))->setCheckable(true);
    bind("acImageMagnification",
        [this] { static_cast<TfMagnification*>(fMagnification)->acImageMagnificationExecute(); });
    bind("ImageWindow", [this] { static_cast<TfImage*>(fImage)->ImageWindowExecute(); });
    bind("ShowScopeWindow", [this] { static_cast<TfrmScope*>(frmScope)->ShowScopeWindowExecute(); });
}

void ToolWindows::overviewRefresh()
{
    static_cast<TfImage*>(fImage)->refresh();
}

void ToolWindows::overviewFrame()
{
    auto* overview = static_cast<TfImage*>(fImage);
    if (overview->isVisible()) {
        overview->RebuildFrame();
        overview->followMainView();
    }
}

void ToolWindows::overviewShow()
{
    static_cast<TfImage*>(fImage)->showRebuilt();
}

void ToolWindows::centreScope(int x, int row)
{
    auto* scope = static_cast<TfrmScope*>(frmScope);
    if (scope->isVisible())
        scope->MakeScopeImage(x, row);
}

} // namespace cvg
