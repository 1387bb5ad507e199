// The trace window's work on its picture: loading it, erasing inside or
// outside the rectangle, tracing, and the transfer to a worksheet.
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "shell/AppContext.h"
#include "shell/Icons.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "trace/TfrmTrace.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"
#include "worksheet/DocumentChanges.h"

#include <cstring>

namespace cvg {

namespace {

const QString kNoSelection = QStringLiteral("領域が指定されていません");
const QString kTryOtherSettings = QStringLiteral("条件を変えてもう一度実行してください");
const QString kNoTracedPoints = QStringLiteral("座標データが存在しません");
const QString kSeedMissing = QStringLiteral("クリックした位置から %1 ピクセル以内に線が見つかりません。\r\n"
                                            "追跡する曲線の上をクリックしてください。")
                                 .arg(kSeedReach);
const QString kTooManyTracedPoints
    = QStringLiteral("座標データの数がワークシートに入る上限 (1000000) "
                     "を超えます。\r\n領域か条件を変えてもう一度実行してください。");

// The pixels of the rectangle left..right-1, top..bottom-1 that lie on the picture.
QRect clippedArea(const TraceSelection& s, const QImage& picture)
{
    return QRect(QPoint(s.left, s.top), QPoint(s.right - 1, s.bottom - 1)) & picture.rect();
}

Reading kindOf(TraceReading reading)
{
    switch (reading) {
    case TraceReading::All:
        return Reading::All;
    case TraceReading::Average:
    case TraceReading::Precise:
        return Reading::Average;
    case TraceReading::Follow:
        return Reading::Follow;
    case TraceReading::Markers:
        return Reading::Markers;
    case TraceReading::Bars:
        return Reading::Bars;
    }
    return Reading::Average;
}

} // namespace

// ---- pictures ----------------------------------------------------------------------------

void TfrmTrace::acLoadImageExecute()
{
    const QImage& corrected = main_.doc().images.correctedImage;
    loaded_ = corrected.format() == QImage::Format_RGB888 || corrected.isNull()
        ? corrected
        : corrected.convertToFormat(QImage::Format_RGB888);
    current_ = loaded_;
    undo_ = loaded_;
    setDisplay(current_);
    pbPaint_->setVisible(!loaded_.isNull());
}

void TfrmTrace::acInsideRangeExecute()
{
    if (!selection_.hasArea())
        return;
    selection_.normalize();
    undo_ = current_;
    const QRect area = clippedArea(selection_, current_);
    if (!area.isEmpty()) {
        QImage erased = current_;
        for (int row = area.top(); row <= area.bottom(); ++row)
            std::memset(erased.scanLine(row) + 3 * area.left(), 0xFF, size_t(3 * area.width()));
        current_ = erased;
    }
    setDisplay(current_);
    selection_ = {};
    pbPaint_->update();
}

void TfrmTrace::acOutsideRangeExecute()
{
    if (!selection_.hasArea() || current_.isNull())
        return;
    selection_.normalize();
    undo_ = current_;
    // Copied from the picture as shown, so marks of a trace stay inside. The
    // marks of a trace by colour are left out: they would change the colour
    // of the very line that the next trace looks for.
    const QImage& shown = colourMarksShown_ ? current_ : displayPicture();
    QImage kept(current_.size(), QImage::Format_RGB888);
    kept.fill(Qt::white);
    const QRect area = clippedArea(selection_, kept) & shown.rect();
    for (int row = area.top(); row <= area.bottom(); ++row)
        std::memcpy(kept.scanLine(row) + 3 * area.left(), shown.constScanLine(row) + 3 * area.left(),
            size_t(3 * area.width()));
    current_ = kept;
    setDisplay(current_);
}

void TfrmTrace::acUndoExecute()
{
    current_ = undo_;
    setDisplay(undo_);
}

// ---- trace and transfer ------------------------------------------------------------------

bool TfrmTrace::runReading(TraceReading reading, QPoint seed)
{
    Dialogs& dialogs = context_.dialogs;
    seedMissed_ = false;
    if (!selection_.hasArea()) {
        dialogs.info(kNoSelection);
        return false;
    }
    selection_.normalize();
    const bool average = reading == TraceReading::Average;
    engine_.BoundColor = average ? edtBoundColor()->text().toInt() : udBoundColor_->value();
    engine_.ScanInterval = udInterval_->value();
    const bool byColour = colourMode();
    engine_.Mode = byColour ? TraceMode::Colour : TraceMode::Brightness;
    engine_.LineColour = lineColour_;
    engine_.Tolerance = tolerance();
    engine_.Excluded = excluded_;

    ReadingRequest request;
    request.kind = kindOf(reading);
    request.precise = reading == TraceReading::Precise;
    request.seed = seed;
    request.maxGap = udMaxGap_->value();
    request.markerSize = udMarkerSize_->value();
    QImage picture = current_.format() == QImage::Format_RGB888
        ? current_
        : current_.convertToFormat(QImage::Format_RGB888);
    const TraceSelection& s = selection_;
    ReadingResult result = RunReading(engine_, picture, s.left, s.top, s.right - 1, s.bottom - 1, request);
    if (result.seedMissing) {
        // Nothing was read: the last result stays as it was.
        seedMissed_ = true;
        dialogs.info(kSeedMissing);
        return false;
    }
    // The engine's list holds only what its own readings found.
    if (request.kind != Reading::All && !(request.kind == Reading::Average && !request.precise)) {
        engine_.Points.clear();
        engine_.LastIndex = -1;
    }
    found_ = std::move(result.points);
    // One marker or one bar is a whole answer; one point of a line is not.
    const bool onePerShape = request.kind == Reading::Markers || request.kind == Reading::Bars;
    if (found_.size() < (onePerShape ? 1u : 2u)) {
        dialogs.info(kTryOtherSettings);
        return false;
    }
    MarkReading(picture, found_, request.kind, markColour());
    setDisplay(picture, byColour);
    untransferred_ = true;
    return true;
}

void TfrmTrace::acTraceExecute()
{
    setReading(TraceReading::All);
    runReading(TraceReading::All);
}

void TfrmTrace::acTraceAverageExecute()
{
    setReading(TraceReading::Average);
    runReading(TraceReading::Average);
}

void TfrmTrace::acSaveToGridExecute()
{
    const std::vector<PrecisePoint>& found = found_;
    if (found.empty()) {
        context_.dialogs.info(kNoTracedPoints);
        return;
    }
    // Refused before any page is added, so the worksheets stay as they were.
    if (found.size() > size_t(kMaxPoints))
        throw CvgError(kTooManyTracedPoints);
    Document& doc = main_.doc();
    const int pageBefore = doc.sheets.currentIndex();
    const bool newPage = PointCount(doc.sheets.currentPage()) != 0;
    if (newPage && !main_.CreateSheetPage())
        return;
    // Worksheet Y counts upward from the picture's bottom edge.
    WritePoints(doc.sheets.currentPage(), ToWorksheetPoints(found, main_.pictureHeight()));
    main_.pointsChanged();
    // One step of the history: undo takes the points (or the new page) away.
    RecordNewPoints(doc, pageBefore, newPage, kTraceCaption);
    main_.UpdateSheetInfo();
    main_.MarkModified();
    main_.RedrawPointMarkers(main_.settings().connectLine != 0);
    untransferred_ = false;
}

} // namespace cvg
