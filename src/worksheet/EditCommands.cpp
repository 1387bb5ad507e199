#include "worksheet/EditCommands.h"

#include "platform/Dialogs.h"
#include "worksheet/Document.h"

#include <algorithm>
#include <new>

namespace cvg {

namespace {

const QString kUndoPrefix = QStringLiteral("元に戻す(&U) ");
const QString kRedoPrefix = QStringLiteral("元に戻すを取消す(&W) ");
const QString kPastePrefix = QStringLiteral("貼り付け(&P)  ");

const QString kNoPicture = QStringLiteral("画像が読み込まれていません。");
const QString kNotConverted = QStringLiteral("換算値が計算されていません。");
const QString kNothingToCut = QStringLiteral("削除するデータがありません。");
const QString kNothingToCopy = QStringLiteral("コピーするデータがありません。");
const QString kNothingToPaste = QStringLiteral("貼り付けるデータがありません。");
const QString kNothingToClear = QStringLiteral("削除するするデータがありません。");
const QString kClearQuestion
    = QStringLiteral("ワークシートに含まれる全てのデータを消去します。\r\n消去しますか？");
const QString kNothingToSort = QStringLiteral("ソートするデータがありません。");
const QString kAlreadySorted = QStringLiteral("ソートする必要はありませんでした。");
const QString kDuplicateX
    = QStringLiteral("Xに同じ値を持つ座標が存在します。\r\n補間処理を行う前に修正してください。");
const QString kDeleteFailed
    = QStringLiteral("指定範囲削除中にエラーが発生しました\r\n範囲を指定しなおしてください");
const QString kCopyFailed
    = QStringLiteral("指定範囲コピー中にエラーが発生しました\r\n範囲を指定しなおしてください");
const QString kPasteFailed
    = QStringLiteral("データ貼り付け中にエラーが発生しました\r\n挿入する場所を指定しなおしてください");
const QString kPasteTooMany = QStringLiteral("データ貼り付け中にエラーが発生しました\r\n"
                                             "1ページに置ける点は%1個までです")
                                  .arg(kMaxPoints);

bool commonPreconditions(const Document& doc, Dialogs& dialogs)
{
    if (!doc.state.pictureLoaded) {
        dialogs.warning(kNoPicture);
        return false;
    }
    if (!doc.calibration.Converted) {
        dialogs.warning(kNotConverted);
        return false;
    }
    return true;
}

// Captions of a new change. Redo is switched off as well: its snapshot
// predates this change and would bring back a stale page.
void labelChange(UndoState& undo, const QString& label)
{
    undo.undoLabel = label;
    undo.undoCaption = kUndoPrefix + label;
    undo.redoCaption = kRedoPrefix;
    undo.redoEnabled = false;
}

void setPasteSource(Document& doc, const QString& range)
{
    doc.undo.pasteCaption = kPastePrefix + doc.sheets.currentPage().caption + QLatin1Char(' ') + range;
    doc.undo.pasteEnabled = true;
}

// Rows lo..hi (1-based, inclusive) of the page's points, when they exist.
bool validRange(int a, int b, int count, int& lo, int& hi)
{
    lo = std::min(a, b);
    hi = std::max(a, b);
    return lo >= 1 && hi <= count;
}

} // namespace

QString RangeText(int selectionStart, int selectionEnd)
{
    return QStringLiteral(" [ ") + QString::number(selectionStart) + QStringLiteral("..")
        + QString::number(selectionEnd) + QStringLiteral(" ]");
}

void TakeUndoSnapshot(const Worksheets& sheets, UndoState& undo)
{
    undo.undoPoints = ReadPoints(sheets.currentPage());
    undo.undoEnabled = true;
}

bool CopyRange(const Worksheets& sheets, UndoState& undo, int a, int b, Dialogs& dialogs)
{
    const std::vector<Point>& points = ReadPoints(sheets.currentPage());
    int lo = 0, hi = 0;
    try {
        if (validRange(a, b, int(points.size()), lo, hi)) {
            undo.clipPoints.assign(points.begin() + (lo - 1), points.begin() + hi);
            return true;
        }
    } catch (const std::bad_alloc&) { }
    // Never leave points behind that the range did not name.
    undo.clipPoints.clear();
    dialogs.info(kCopyFailed);
    return false;
}

bool DeleteRange(Worksheets& sheets, UndoState& undo, int a, int b, Dialogs& dialogs)
{
    TakeUndoSnapshot(sheets, undo);
    WorksheetPage& page = sheets.currentPage();
    const std::vector<Point>& points = ReadPoints(page);
    int lo = 0, hi = 0;
    try {
        if (validRange(a, b, int(points.size()), lo, hi)) {
            std::vector<Point> clip(points.begin() + (lo - 1), points.begin() + hi);
            std::vector<Point> rest;
            rest.reserve(points.size() - clip.size());
            rest.insert(rest.end(), points.begin(), points.begin() + (lo - 1));
            rest.insert(rest.end(), points.begin() + hi, points.end());
            undo.clipPoints = std::move(clip);
            WritePoints(page, std::move(rest));
            return true;
        }
    } catch (const std::bad_alloc&) { }
    undo.clipPoints.clear();
    dialogs.info(kDeleteFailed);
    return false;
}

bool InsertClip(Worksheets& sheets, UndoState& undo, int s, Dialogs& dialogs)
{
    TakeUndoSnapshot(sheets, undo);
    WorksheetPage& page = sheets.currentPage();
    const std::vector<Point>& points = ReadPoints(page);
    const int count = int(points.size());
    if (s < 1 || s > count + 1) {
        dialogs.info(kPasteFailed);
        return false;
    }
    if (undo.clipPoints.size() > size_t(kMaxPoints - count)) {
        dialogs.info(kPasteTooMany);
        return false;
    }
    try {
        std::vector<Point> merged;
        merged.reserve(points.size() + undo.clipPoints.size());
        merged.insert(merged.end(), points.begin(), points.begin() + (s - 1));
        merged.insert(merged.end(), undo.clipPoints.begin(), undo.clipPoints.end());
        merged.insert(merged.end(), points.begin() + (s - 1), points.end());
        WritePoints(page, std::move(merged));
        return true;
    } catch (const std::bad_alloc&) {
        dialogs.info(kPasteFailed);
        return false;
    }
}

bool ClearSheet(Worksheets& sheets, UndoState& undo)
{
    TakeUndoSnapshot(sheets, undo);
    WorksheetPage& page = sheets.currentPage();
    WritePoints(page, {});
    const QString first = QStringLiteral("Page0");
    if (sheets.pageCount() == 1 && page.caption != first) {
        page.caption = first;
        return true;
    }
    return false;
}

void SwapForUndo(Worksheets& sheets, UndoState& undo)
{
    WorksheetPage& page = sheets.currentPage();
    undo.redoPoints = ReadPoints(page);
    WritePoints(page, undo.undoPoints);
}

void SwapForRedo(Worksheets& sheets, UndoState& undo)
{
    WorksheetPage& page = sheets.currentPage();
    undo.undoPoints = ReadPoints(page);
    WritePoints(page, undo.redoPoints);
}

EditResult DataCut(Document& doc, Dialogs& dialogs)
{
    if (!commonPreconditions(doc, dialogs))
        return {};
    if (PointCount(doc.sheets.currentPage()) == 0) {
        dialogs.warning(kNothingToCut);
        return {};
    }
    const QString range = RangeText(doc.sheets.selectionStart, doc.sheets.selectionEnd);
    labelChange(doc.undo, kCutCaption + range);
    setPasteSource(doc, range);
    if (!DeleteRange(doc.sheets, doc.undo, doc.sheets.selectionStart, doc.sheets.selectionEnd, dialogs))
        return {};
    EditResult result;
    result.redraw = true;
    result.modified = true;
    return result;
}

EditResult DataCopy(Document& doc, Dialogs& dialogs)
{
    if (!commonPreconditions(doc, dialogs))
        return {};
    if (PointCount(doc.sheets.currentPage()) == 0) {
        dialogs.warning(kNothingToCopy);
        return {};
    }
    setPasteSource(doc, RangeText(doc.sheets.selectionStart, doc.sheets.selectionEnd));
    CopyRange(doc.sheets, doc.undo, doc.sheets.selectionStart, doc.sheets.selectionEnd, dialogs);
    return {};
}

EditResult DataPaste(Document& doc, Dialogs& dialogs)
{
    if (!commonPreconditions(doc, dialogs))
        return {};
    if (!doc.undo.pasteEnabled) {
        dialogs.warning(kNothingToPaste);
        return {};
    }
    labelChange(doc.undo, doc.undo.pasteCaption);
    if (!InsertClip(doc.sheets, doc.undo, doc.sheets.selectionStart, dialogs))
        return {};
    WorksheetPage& page = doc.sheets.currentPage();
    if (!IsSortedByX(ReadPoints(page))) {
        std::vector<Point> points = ReadPoints(page);
        SortByX(points);
        WritePoints(page, std::move(points));
    }
    EditResult result;
    result.redraw = true;
    result.modified = true;
    return result;
}

EditResult DataAllDelete(Document& doc, Dialogs& dialogs)
{
    if (!commonPreconditions(doc, dialogs))
        return {};
    if (PointCount(doc.sheets.currentPage()) == 0) {
        dialogs.warning(kNothingToClear);
        return {};
    }
    if (dialogs.ask(kClearQuestion) != MsgResult::Yes)
        return {};
    labelChange(doc.undo, kClearAllDataCaption);
    EditResult result;
    result.captionChanged = ClearSheet(doc.sheets, doc.undo);
    result.uncheckDigitize = true;
    result.modified = true;
    result.redraw = true;
    return result;
}

EditResult DataSort(Document& doc, Dialogs& dialogs)
{
    if (!commonPreconditions(doc, dialogs))
        return {};
    WorksheetPage& page = doc.sheets.currentPage();
    if (PointCount(page) < 2) {
        dialogs.warning(kNothingToSort);
        return {};
    }
    if (IsSortedByX(ReadPoints(page))) {
        dialogs.warning(kAlreadySorted);
        return {};
    }
    labelChange(doc.undo, kSortSheetDataCaption);
    TakeUndoSnapshot(doc.sheets, doc.undo);
    std::vector<Point> points = ReadPoints(page);
    SortByX(points);
    WritePoints(page, std::move(points));
    EditResult result;
    result.modified = true;
    // Marks do not move, but the line joining them follows the row order.
    result.redraw = true;
    if (HasDuplicateX(ReadPoints(page)))
        dialogs.warning(kDuplicateX);
    return result;
}

EditResult DataUndo(Document& doc)
{
    UndoState& undo = doc.undo;
    if (!undo.undoEnabled)
        return {};
    undo.undoCaption = kUndoPrefix;
    undo.redoCaption = kRedoPrefix + undo.undoLabel;
    undo.undoEnabled = false;
    undo.redoEnabled = true;
    SwapForUndo(doc.sheets, undo);
    EditResult result;
    result.redraw = true;
    result.modified = true;
    return result;
}

EditResult DataRedo(Document& doc)
{
    UndoState& undo = doc.undo;
    if (!undo.redoEnabled)
        return {};
    undo.redoCaption = kRedoPrefix;
    undo.undoCaption = kUndoPrefix + undo.undoLabel;
    undo.undoEnabled = true;
    undo.redoEnabled = false;
    SwapForRedo(doc.sheets, undo);
    EditResult result;
    result.redraw = true;
    result.modified = true;
    return result;
}

} // namespace cvg
