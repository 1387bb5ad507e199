// The scope, overview and magnification windows.
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

namespace cvg {

TToolWindow* createScopeWindow(TfrmMain& main, AppContext& context)
{
    return makeWindow(&main, context, "frmScope", QStringLiteral("拡大表示"), QStringLiteral("Scope"),
                      {0, 0, 8421631}, kToolWindowFlags);
}

TToolWindow* createOverviewWindow(TfrmMain& main, AppContext& context)
{
    return makeWindow(&main, context, "fImage", QStringLiteral("編集画像"), QStringLiteral("Image"), {0, 0},
                      kToolWindowFlags);
}

TToolWindow* createMagnificationWindow(TfrmMain& main, AppContext& context)
{
    return makeWindow(&main, context, "fMagnification", QStringLiteral("グラフの拡大・縮小"),
                      QStringLiteral("Magnification"), {0, 0}, kDialogWindowFlags);
}

void ToolWindows::connectViewActions() {}
void ToolWindows::overviewRefresh() {}
void ToolWindows::overviewFrame() {}
void ToolWindows::centreScope(int, int) {}

} // namespace cvg
