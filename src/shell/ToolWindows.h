#pragma once

#include "settings/TfDirectory.h"
#include "widgets/TToolWindow.h"
#include "worksheet/Point.h"

#include <QDialog>

namespace cvg {

class TfrmMain;
class TfDeform;
class TfEditData;
class TfMarker;
class TDigitizer;

// Makers of the windows that live in files of their own; each reads its
// settings value as it is created.
TToolWindow* createScopeWindow(TfrmMain& main, AppContext& context);
QDialog* createVersionWindow(TfrmMain& main, AppContext& context);
TToolWindow* createOverviewWindow(TfrmMain& main, AppContext& context);
TToolWindow* createMagnificationWindow(TfrmMain& main, AppContext& context);
TToolWindow* createSplineWindow(TfrmMain& main, AppContext& context);
TToolWindow* createTraceWindow(TfrmMain& main, AppContext& context);
TToolWindow* createSheetWindow(TfrmMain& main, AppContext& context);

// Every window besides the main one, created once at start-up in a fixed
// order (each reads its settings value as it is created) and hidden until an
// action shows it.
struct ToolWindows {
    ToolWindows(TfrmMain& main, AppContext& context);
    ~ToolWindows();

    TToolWindow* frmScope = nullptr;
    QDialog* frmVersion = nullptr;
    TfDirectory* fDirectory = nullptr;
    TToolWindow* fImage = nullptr;
    TfDeform* fDeform = nullptr;
    TToolWindow* fMagnification = nullptr;
    TToolWindow* frmSpline = nullptr;
    TToolWindow* frmTrace = nullptr;
    TfEditData* fEditData = nullptr;
    TfMarker* fMarker = nullptr;
    TDigitizer* digitizer = nullptr;
    TToolWindow* frmSheet = nullptr;

    // The general marker size of the marker size dialog.
    int generalMarkerSize() const;

    // Hooks the main window calls; the windows behind them fill them in.
    void hideForNewDocument(TfrmMain& main);
    // A file was dropped: the calibration, overview and point editor windows go.
    void hideForDrop(TfrmMain& main);
    // The reference markers of the calibration are hidden.
    void HideMarkers();
    // The main view's zoom changed: the markers and the overview's frame follow.
    void viewScaleChanged();
    // Overview and scope (ViewWindows.cpp).
    void overviewRefresh();
    void overviewFrame();
    // Rebuilt from the main view and shown, ImageWindow checked to match (after an interpolation).
    void overviewShow();
    // The scope window follows a picture position while it is shown.
    void centreScope(int x, int row);
    // Help (HelpWindows.cpp).
    void ShowHelpTopic(const QString& topic);
    bool handlesCheckedAction(const QString& name) const;
    void showDirectoryDialog();
    // The point editor and the current-point marker (filled in by the
    // digitizing windows).
    void clearPointEditor();
    void hidePointEditor();
    void resetCurrentMarker();
    void showCurrentPoint(const Point& point);
    // Undo or redo changed the document: the calibration dialog and its
    // markers and the point editor show it as it is now.
    void documentRestored();
    // Closes every shown tool window (each writes its value as it closes).
    void closeAll();

private:
    void connectActions();
    // The actions of the windows made in ViewWindows.cpp, HelpWindows.cpp and
    // TraceWindows.cpp.
    void connectViewActions();
    void connectHelpActions();
    void connectTraceActions();
    TfrmMain& main_;
};

} // namespace cvg
