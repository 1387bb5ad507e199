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

QString UndoCaption(const History& history)
{
    if (history.isEmpty())
        return QStringLiteral("元に戻す(&U)");
    return kUndoPrefix + history.undoLabel();
}

QString RedoCaption(const History& history)
{
    if (history.isEmpty())
        return QStringLiteral("元に戻すを取消す(&W)");
    return kRedoPrefix + history.redoLabel();
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

bool DeleteRange(Document& doc, HistoryStep& step, int a, int b, Dialogs& dialogs)
{
    const std::vector<Point>& points = ReadPoints(doc.sheets.currentPage());
    int lo = 0, hi = 0;
    try {
        if (validRange(a, b, int(points.size()), lo, hi)) {
            std::vector<Point> clip(points.begin() + (lo - 1), points.begin() + hi);
            step.replaceRows(doc, doc.sheets.currentIndex(), lo - 1, hi - lo + 1, {});
            doc.undo.clipPoints = std::move(clip);
            return true;
        }
    } catch (const std::bad_alloc&) { }
    doc.undo.clipPoints.clear();
    dialogs.info(kDeleteFailed);
    return false;
}

bool InsertClip(Document& doc, HistoryStep& step, int s, Dialogs& dialogs)
{
    const int count = PointCount(doc.sheets.currentPage());
    if (s < 1 || s > count + 1) {
        dialogs.info(kPasteFailed);
        return false;
    }
    if (doc.undo.clipPoints.size() > size_t(kMaxPoints - count)) {
        dialogs.info(kPasteTooMany);
        return false;
    }
    try {
        // The clipboard stays as it is: the same points can be pasted again.
        step.replaceRows(doc, doc.sheets.currentIndex(), s - 1, 0, doc.undo.clipPoints);
        return true;
    } catch (const std::bad_alloc&) {
        dialogs.info(kPasteFailed);
        return false;
    }
}

bool ClearSheet(Document& doc, HistoryStep& step)
{
    const int page = doc.sheets.currentIndex();
    step.replaceRows(doc, page, 0, PointCount(doc.sheets.currentPage()), {});
    const QString first = QStringLiteral("Page0");
    if (doc.sheets.pageCount() == 1 && doc.sheets.currentPage().caption != first) {
        step.setCaption(doc, page, first);
        return true;
    }
    return false;
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
    setPasteSource(doc, range);
    HistoryStep step(doc, kCutCaption + range);
    if (!DeleteRange(doc, step, doc.sheets.selectionStart, doc.sheets.selectionEnd, dialogs))
        return {};
    doc.history.push(doc, std::move(step));
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
    HistoryStep step(doc, doc.undo.pasteCaption);
    if (!InsertClip(doc, step, doc.sheets.selectionStart, dialogs))
        return {};
    if (!IsSortedByX(ReadPoints(doc.sheets.currentPage())))
        step.sortPage(doc, doc.sheets.currentIndex());
    doc.history.push(doc, std::move(step));
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
    HistoryStep step(doc, kClearAllDataCaption);
    EditResult result;
    result.captionChanged = ClearSheet(doc, step);
    doc.history.push(doc, std::move(step));
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
    HistoryStep step(doc, kSortSheetDataCaption);
    step.sortPage(doc, doc.sheets.currentIndex());
    doc.history.push(doc, std::move(step));
    EditResult result;
    result.modified = true;
    // Marks do not move, but the line joining them follows the row order.
    result.redraw = true;
    if (HasDuplicateX(ReadPoints(page)))
        dialogs.warning(kDuplicateX);
    return result;
}

namespace {

EditResult restoredResult(bool moved)
{
    EditResult result;
    result.redraw = result.modified = result.restored = moved;
    return result;
}

} // namespace

EditResult DataUndo(Document& doc, Progress& progress, Dialogs& dialogs)
{
    return restoredResult(doc.history.undo(doc, progress, dialogs));
}

EditResult DataRedo(Document& doc, Progress& progress, Dialogs& dialogs)
{
    return restoredResult(doc.history.redo(doc, progress, dialogs));
}

} // namespace cvg
