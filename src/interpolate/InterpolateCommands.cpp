#include "interpolate/InterpolateCommands.h"

#include "interpolate/InterpolateSheet.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "interpolate/TfrmSpline.h"
#include "shell/ToolWindows.h"
#include "worksheet/DocumentChanges.h"
#include "worksheet/EditCommands.h"

#include <QAction>
#include <optional>

namespace cvg {

InterpolateCommands::InterpolateCommands(TfrmMain& main, TfrmSpline& settings)
    : QObject(&main)
    , main_(main)
    , settings_(settings)
{
    setObjectName(QStringLiteral("ipSpline"));
    ipSpline_.OnFPError = [this](TInterpolate&) { main_.context().dialogs.error(kInterpolationFailed); };
}

void InterpolateCommands::interpolate(bool spline)
{
    Dialogs& dialogs = main_.context().dialogs;
    Document& doc = main_.doc();
    if (!doc.state.pictureLoaded) {
        dialogs.warning(kNoPictureToInterpolate);
        return;
    }
    const int sourceIndex = doc.sheets.currentIndex();
    const int count = PointCount(doc.sheets.currentPage());
    if (count == 0) {
        dialogs.warning(kNoPointsToInterpolate);
        return;
    }
    if (count == 1) {
        dialogs.warning(kTwoPointsNeeded);
        return;
    }
    if (spline && count == 2) {
        if (dialogs.message({ kSplineFallbackQuestion, MsgIcon::Warning, MsgButtons::YesNo })
            != MsgResult::Yes)
            return;
        spline = false;
    }
    if (!IsSortedByX(ReadPoints(doc.sheets.currentPage()))) {
        if (dialogs.message({ kSortFirstQuestion, MsgIcon::Warning, MsgButtons::YesNo }) != MsgResult::Yes)
            return;
        // The page's order changed whatever happens next: a step of its own.
        HistoryStep sort(doc, kSortSheetDataCaption);
        sort.sortPage(doc, sourceIndex);
        doc.history.push(doc, std::move(sort));
        main_.pointsChanged();
        main_.MarkModified();
        main_.RedrawPointMarkers(main_.settings().connectLine != 0);
    }
    if (HasDuplicateX(ReadPoints(doc.sheets.currentPage()))) {
        dialogs.error(kDuplicateXError);
        return;
    }

    std::optional<InterpolatedSheet> result = InterpolateSheet(ipSpline_, doc.sheets.currentPage(),
        spline ? SheetInterpolation::Spline : SheetInterpolation::Linear, settings_.sampleDistance(),
        main_.progress());
    // No result: the engine has reported its error.
    if (!result)
        return;
    // A page that cannot be added has shown its own message; nothing is
    // written anywhere then.
    if (!main_.CreateSheetPage())
        return;
    WorksheetPage& added = doc.sheets.currentPage();
    added.caption = result->caption;
    WritePoints(added, std::move(result->points));
    main_.rebuildSheetTabs();
    main_.LayoutSheetGrid();
    main_.UpdateSheetInfo();

    // The overview is rebuilt and shown even when it was hidden.
    if (ToolWindows* windows = main_.toolWindows())
        windows->overviewShow();
    main_.RedrawPointMarkers(main_.settings().connectLine != 0);

    if (dialogs.ask(kAdoptQuestion) == MsgResult::Yes) {
        main_.action(QStringLiteral("DoDataCovert"))->setChecked(false);
        RecordNewPoints(doc, sourceIndex, true,
                        main_.action(QString::fromLatin1(spline ? "acSquareInterpolate" : "acLinerInterpolation"))->text());
        main_.MarkModified();
        return;
    }
    // Not adopted: the new page goes and the page the user worked on is
    // current again, as before the command.
    doc.sheets.RemoveLastPage();
    doc.sheets.setCurrentIndex(sourceIndex);
    main_.rebuildSheetTabs();
    main_.LayoutSheetGrid();
    main_.UpdateSheetInfo();
    main_.RedrawPointMarkers(main_.settings().connectLine != 0);
    main_.RebuildSheetList();
    main_.UpdateSheetInfo();
}

} // namespace cvg
