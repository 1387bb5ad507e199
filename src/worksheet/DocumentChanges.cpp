#include "worksheet/DocumentChanges.h"

#include "worksheet/Document.h"
#include "worksheet/EditCommands.h"

#include <algorithm>

namespace cvg {

namespace {

const char* const kPointCaptions[4] = {"縦軸上側座標", "縦軸下側座標", "横軸左側座標", "横軸右側座標"};

QString rowLabel(const QString& caption, int row)
{
    return caption + RangeText(row, row);
}

// Where a picked point goes: after the last row, then the page is sorted if
// that broke its X order. On a page in full sorted order that is the place
// after every point that sorts before it, and a step of one point suffices.
int digitizedRow(const std::vector<Point>& points, const Point& point)
{
    if (points.empty())
        return 0;
    const Point& last = points.back();
    const bool breaksOrder = point.X < last.X || (point.X == last.X && point.fracX < last.fracX);
    if (IsSortedByX(points) && !breaksOrder)
        return int(points.size());
    if (breaksOrder && std::is_sorted(points.begin(), points.end(), PointBeforeByX))
        return int(std::upper_bound(points.begin(), points.end(), point, PointBeforeByX) - points.begin());
    return -1; // appended, then the whole page is sorted
}

} // namespace

bool DigitizePoint(Document& doc, Point point)
{
    const int page = doc.sheets.currentIndex();
    const int count = PointCount(doc.sheets.currentPage());
    HistoryStep step(doc, QString());
    int row = digitizedRow(ReadPoints(doc.sheets.currentPage()), point);
    if (!step.replaceRows(doc, page, row < 0 ? count : row, 0, {point}))
        return false;
    if (row < 0)
        row = step.sortPage(doc, page, count);
    step.setLabel(rowLabel(kDigitizeCaption, row + 1));
    doc.history.push(doc, std::move(step));
    return true;
}

bool SortAfterPress(Document& doc)
{
    if (IsSortedByX(ReadPoints(doc.sheets.currentPage())))
        return false;
    HistoryStep step(doc, kSortSheetDataCaption);
    step.sortPage(doc, doc.sheets.currentIndex());
    const bool sorted = !step.isEmpty();
    doc.history.push(doc, std::move(step));
    return sorted;
}

void MovePoint(Document& doc, int row, Point point)
{
    const int page = doc.sheets.currentIndex();
    const std::vector<Point>& points = ReadPoints(doc.sheets.currentPage());
    if (row < 1 || size_t(row) > points.size() || points[size_t(row) - 1] == point)
        return;
    HistoryStep step(doc, rowLabel(kEditPointCaption, row));
    step.setMergeKey(QStringLiteral("point %1 %2").arg(page).arg(row));
    step.replaceRows(doc, page, row - 1, 1, {point});
    doc.history.push(doc, std::move(step));
}

bool AddNewSheet(Document& doc)
{
    HistoryStep step(doc, kAddSheetCaption);
    if (!doc.sheets.CreateSheetPage())
        return false;
    step.setLabel(kAddSheetCaption + QLatin1Char(' ') + doc.sheets.currentPage().caption);
    step.pageAddedDone(doc.sheets.currentIndex());
    doc.history.push(doc, std::move(step));
    return true;
}

bool InsertNewSheet(Document& doc)
{
    const int c = doc.sheets.currentIndex();
    HistoryStep step(doc, kInsertSheetCaption);
    if (!step.insertPage(doc, c))
        return false;
    step.setLabel(kInsertSheetCaption + QLatin1Char(' ') + doc.sheets.page(c + 1).caption);
    doc.history.push(doc, std::move(step));
    return true;
}

bool DeleteCurrentSheet(Document& doc)
{
    HistoryStep step(doc, kDeleteSheetCaption + QLatin1Char(' ') + doc.sheets.currentPage().caption);
    if (!step.removePage(doc, doc.sheets.currentIndex()))
        return false;
    doc.history.push(doc, std::move(step));
    return true;
}

void RenameCurrentSheet(Document& doc, const QString& caption)
{
    HistoryStep step(doc, kRenameSheetCaption + QLatin1Char(' ') + doc.sheets.currentPage().caption);
    step.setCaption(doc, doc.sheets.currentIndex(), caption);
    doc.history.push(doc, std::move(step));
}

void RecordNewPoints(Document& doc, int pageBefore, bool newPage, const QString& label)
{
    HistoryStep step(doc, label);
    step.setCurrentBefore(pageBefore);
    if (newPage)
        step.pageAddedDone(doc.sheets.currentIndex());
    else
        step.rowsReplacedDone(doc.sheets.currentIndex(), 0, PointCount(doc.sheets.currentPage()), {});
    doc.history.push(doc, std::move(step));
}

QString CalibrationChangeLabel(const Calibration& before, const Calibration& after)
{
    if (before.Converted != after.Converted)
        return after.Converted ? kCalibrateCaption : kCalibrationResetCaption;
    if (before.PointsSpecified != after.PointsSpecified)
        return after.PointsSpecified ? kCalibrationPlacedCaption : kCalibrationResetCaption;
    if (before.Shared != after.Shared)
        return QStringLiteral("共有する");
    if (before.XLog != after.XLog || before.YLog != after.YLog)
        return QStringLiteral("対数目盛");
    for (size_t n = 0; n < 4; ++n)
        if (before.SourcePoints[n].value != after.SourcePoints[n].value)
            return QString::fromUtf8(kRowLabels[n]) + QStringLiteral("座標の値");
    for (size_t n = 0; n < 4; ++n) {
        const ReferencePoint& a = before.SourcePoints[n];
        const ReferencePoint& b = after.SourcePoints[n];
        if (a.x != b.x || a.y != b.y)
            return after.Shared && (n == size_t(YLower) || n == size_t(XLeft)) ? QStringLiteral("縦軸・横軸共有座標")
                                                                : QString::fromUtf8(kPointCaptions[n]);
    }
    return kCalibrateCaption;
}

void RecordCalibration(Document& doc, const Calibration& before)
{
    const QString label = CalibrationChangeLabel(before, doc.calibration);
    HistoryStep step(doc, label);
    // Adjusting one thing over and over (a marker dragged, a value typed
    // key by key) is one step; executing, placing and resetting are not merged.
    if (label != kCalibrateCaption && label != kCalibrationResetCaption && label != kCalibrationPlacedCaption)
        step.setMergeKey(QStringLiteral("calibration ") + label);
    step.calibrationChangedDone(before);
    doc.history.push(doc, std::move(step));
}

void AdoptResizedPicture(Document& doc, const QImage& picture)
{
    HistoryStep step(doc, kMagnificationCaption + QStringLiteral(" %1 x %2").arg(picture.width()).arg(picture.height()));
    step.adoptResize(doc, picture);
    doc.history.push(doc, std::move(step));
}

bool RevertResize(Document& doc)
{
    HistoryStep step(doc, kRevertResizeCaption);
    if (!step.undoResize(doc))
        return false;
    doc.history.push(doc, std::move(step));
    return true;
}

} // namespace cvg
