// The trace window and the interpolation settings window.
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

namespace cvg {

TToolWindow* createSplineWindow(TfrmMain& main, AppContext& context)
{
    return makeWindow(&main, context, "frmSpline", QStringLiteral("補間処理設定"), QStringLiteral("Spline"),
                      {0, 0, 1}, kDialogWindowFlags);
}

TToolWindow* createTraceWindow(TfrmMain& main, AppContext& context)
{
    return makeWindow(&main, context, "frmTrace", QStringLiteral("線指定"), QStringLiteral("Trace"),
                      {0, 0, 125, 1}, kToolWindowFlags);
}

void ToolWindows::connectTraceActions() {}

} // namespace cvg
