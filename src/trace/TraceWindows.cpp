// The trace window, the interpolation commands and their settings window.
#include "interpolate/InterpolateCommands.h"
#include "shell/TfrmMain.h"
#include "interpolate/TfrmSpline.h"
#include "trace/TfrmTrace.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <functional>

namespace cvg {

TToolWindow* createSplineWindow(TfrmMain& main, AppContext& context)
{
    return new TfrmSpline(main, context);
}

TToolWindow* createTraceWindow(TfrmMain& main, AppContext& context)
{
    return new TfrmTrace(main, context);
}

void ToolWindows::connectTraceActions()
{
    TfrmMain& main = main_;
    auto bind = [&main](const char* name, std::function<void()> handler) {
        QObject::connect(main.action(QString::fromLatin1(name)), &QAction::triggered, &main,
            [&main, handler] { main.runCommand(handler); });
    };
    auto* trace = static_cast<TfrmTrace*>(frmTrace);
    auto* spline = static_cast<TfrmSpline*>(frmSpline);
    // Owned by the main window, as its engine is.
    auto* commands = new InterpolateCommands(main, *spline);
    // The action shows a check while its window is open.
    main.action(QStringLiteral("SplineConfigulation"))->setCheckable(true);

    bind("ShowTraceWindow", [trace] { trace->ShowTraceWindowExecute(); });
    bind("acLinerInterpolation", [commands] { commands->acLinerInterpolationExecute(); });
    bind("acSquareInterpolate", [commands] { commands->acSquareInterpolateExecute(); });
    bind("SplineConfigulation", [spline] { spline->SplineConfigulationExecute(); });
}

} // namespace cvg
