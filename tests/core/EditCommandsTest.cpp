// Cut, copy, paste, delete all, sort, undo and redo on the current page.
#include "ScriptedDialogs.h"

#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/EditCommands.h"

#include <gtest/gtest.h>

using namespace cvg;
using cvg::test::ScriptedDialogs;

namespace {

const QString kUndoReset = QStringLiteral("元に戻す(&U)");
const QString kRedoReset = QStringLiteral("元に戻すを取消す(&W)");
const QString kRedoBlank = QStringLiteral("元に戻すを取消す(&W) ");
const QString kUndoBlank = QStringLiteral("元に戻す(&U) ");

std::vector<Point> pointsAtX(std::initializer_list<int> xs)
{
    std::vector<Point> points;
    for (int x : xs)
        points.push_back({ x, x + 1 });
    return points;
}

std::vector<int> xsOf(const Document& doc)
{
    std::vector<int> xs;
    for (const Point& p : doc.sheets.currentPage().points)
        xs.push_back(p.X);
    return xs;
}

// A calibrated document whose first page holds points at X = 10, 20, 30, 40, 50.
Document readyDocument()
{
    Document doc;
    doc.reset();
    doc.state.pictureLoaded = true;
    doc.calibration.Converted = true;
    doc.sheets.currentPage().points = pointsAtX({ 10, 20, 30, 40, 50 });
    return doc;
}

void select(Document& doc, int start, int end)
{
    doc.sheets.selectionStart = start;
    doc.sheets.selectionEnd = end;
}

EditResult undo(Document& doc)
{
    NullProgress quiet;
    ScriptedDialogs dialogs;
    return DataUndo(doc, quiet, dialogs);
}

EditResult redo(Document& doc)
{
    NullProgress quiet;
    ScriptedDialogs dialogs;
    return DataRedo(doc, quiet, dialogs);
}

} // namespace

TEST(EditCommandsTest, CutPasteUndoRedoFollowTheCaptions)
{
    Document doc = readyDocument();
    EXPECT_EQ(doc.undo.pasteCaption, QStringLiteral("貼り付け(&P) "));
    EXPECT_FALSE(doc.undo.pasteEnabled);
    ScriptedDialogs dialogs;

    select(doc, 2, 3);
    EditResult r = DataCut(doc, dialogs);
    EXPECT_TRUE(r.redraw && r.modified);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 40, 50 }));
    const QString cutLabel = QStringLiteral("カット(&X) [ 2..3 ]");
    EXPECT_EQ(UndoCaption(doc.history), kUndoBlank + cutLabel);
    EXPECT_TRUE(doc.history.canUndo());
    EXPECT_EQ(RedoCaption(doc.history), kRedoBlank);
    EXPECT_FALSE(doc.history.canRedo());
    // Two blanks after the item's text, then caption, blank, and the range text.
    const QString pasteCaption = QStringLiteral("貼り付け(&P)  Page0  [ 2..3 ]");
    EXPECT_EQ(doc.undo.pasteCaption, pasteCaption);
    EXPECT_TRUE(doc.undo.pasteEnabled);
    EXPECT_EQ(doc.undo.clipPoints, pointsAtX({ 20, 30 }));

    // Pasted before row 1, then sorted again because the order broke.
    select(doc, 1, 1);
    r = DataPaste(doc, dialogs);
    EXPECT_TRUE(r.redraw && r.modified);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 30, 40, 50 }));
    EXPECT_EQ(doc.history.undoLabel(), pasteCaption);
    EXPECT_EQ(UndoCaption(doc.history), kUndoBlank + pasteCaption);
    EXPECT_EQ(doc.undo.clipPoints, pointsAtX({ 20, 30 }));

    r = undo(doc);
    EXPECT_TRUE(r.redraw && r.modified && r.restored);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 40, 50 }));
    // The history goes further back: the cut is next.
    EXPECT_EQ(UndoCaption(doc.history), kUndoBlank + cutLabel);
    EXPECT_EQ(RedoCaption(doc.history), kRedoBlank + pasteCaption);
    EXPECT_TRUE(doc.history.canRedo());
    undo(doc);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 30, 40, 50 }));
    EXPECT_EQ(UndoCaption(doc.history), kUndoBlank);
    EXPECT_FALSE(doc.history.canUndo());
    EXPECT_EQ(RedoCaption(doc.history), kRedoBlank + cutLabel);
    EXPECT_FALSE(undo(doc).modified);

    redo(doc);
    r = redo(doc);
    EXPECT_TRUE(r.redraw && r.modified);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 30, 40, 50 }));
    EXPECT_EQ(RedoCaption(doc.history), kRedoBlank);
    EXPECT_FALSE(doc.history.canRedo());
    EXPECT_FALSE(redo(doc).modified);
    EXPECT_EQ(UndoCaption(doc.history), kUndoBlank + pasteCaption);

    // Paste at N + 1 appends; the same clipboard can be pasted again.
    select(doc, 6, 6);
    DataPaste(doc, dialogs);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 20, 30, 30, 40, 50 }));

    // Copy names the page and range but leaves page and undo alone.
    doc.sheets.currentPage().caption = QStringLiteral("測定");
    select(doc, 5, 2);
    const int steps = doc.history.count();
    r = DataCopy(doc, dialogs);
    EXPECT_FALSE(r.modified || r.redraw);
    EXPECT_EQ(doc.undo.pasteCaption, QStringLiteral("貼り付け(&P)  測定  [ 5..2 ]"));
    EXPECT_EQ(doc.undo.clipPoints, pointsAtX({ 20, 20, 30, 30 }));
    EXPECT_EQ(doc.history.count(), steps);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 20, 30, 30, 40, 50 }));
}

TEST(EditCommandsTest, ANewChangeAfterUndoSwitchesRedoOff)
{
    Document doc = readyDocument();
    ScriptedDialogs dialogs;
    select(doc, 1, 1);
    DataCut(doc, dialogs);
    undo(doc);
    ASSERT_TRUE(doc.history.canRedo());
    // The undone cut predates this one: bringing it back would lose this cut.
    select(doc, 5, 5);
    DataCut(doc, dialogs);
    EXPECT_FALSE(doc.history.canRedo());
    EXPECT_EQ(RedoCaption(doc.history), kRedoBlank);
    EXPECT_FALSE(redo(doc).modified);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 30, 40 }));
    undo(doc);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 30, 40, 50 }));
    EXPECT_EQ(doc.history.count(), 1);

    // Likewise for sort and delete all.
    for (int which = 0; which < 2; ++which) {
        doc.sheets.currentPage().points = pointsAtX({ 3, 1, 2 });
        doc.history.clear(doc);
        select(doc, 1, 1);
        DataCut(doc, dialogs);
        undo(doc);
        ASSERT_TRUE(doc.history.canRedo());
        if (which == 0) {
            DataSort(doc, dialogs);
        } else {
            dialogs.expectQuestion(
                QStringLiteral("ワークシートに含まれる全てのデータを消去します。\r\n消去しますか？"),
                MsgResult::Yes);
            DataAllDelete(doc, dialogs);
        }
        EXPECT_FALSE(doc.history.canRedo()) << which;
        EXPECT_EQ(doc.history.count(), 1) << which;
    }
}

TEST(EditCommandsTest, PreconditionsAndEmptyPagesShowTheirWarnings)
{
    Document doc = readyDocument();
    doc.state.pictureLoaded = false;
    using Command = EditResult (*)(Document&, Dialogs&);
    const Command commands[] = { DataCut, DataCopy, DataPaste, DataAllDelete, DataSort };
    for (Command c : commands) {
        ScriptedDialogs dialogs;
        dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
        c(doc, dialogs);
    }
    doc.state.pictureLoaded = true;
    doc.calibration.Converted = false;
    for (Command c : commands) {
        ScriptedDialogs dialogs;
        dialogs.expectWarning(QStringLiteral("換算値が計算されていません。"));
        c(doc, dialogs);
    }
    doc.calibration.Converted = true;
    doc.sheets.currentPage().points.clear();
    const std::pair<Command, const char*> empties[] = {
        { DataCut, "削除するデータがありません。" },
        { DataCopy, "コピーするデータがありません。" },
        { DataPaste, "貼り付けるデータがありません。" },
        { DataAllDelete, "削除するするデータがありません。" },
        { DataSort, "ソートするデータがありません。" },
    };
    for (const auto& [c, text] : empties) {
        ScriptedDialogs dialogs;
        dialogs.expectWarning(QString::fromUtf8(text));
        const EditResult r = c(doc, dialogs);
        EXPECT_FALSE(r.modified || r.redraw) << text;
    }
    // Nothing of the undo state moved.
    EXPECT_EQ(UndoCaption(doc.history), kUndoReset);
    EXPECT_EQ(RedoCaption(doc.history), kRedoReset);
    EXPECT_FALSE(doc.history.canUndo() || doc.history.canRedo() || doc.undo.pasteEnabled);

    // One point is not enough to sort.
    doc.sheets.currentPage().points = pointsAtX({ 7 });
    ScriptedDialogs dialogs;
    dialogs.expectWarning(QStringLiteral("ソートするデータがありません。"));
    DataSort(doc, dialogs);
}

TEST(EditCommandsTest, SortWarnsAboutRepeatedXOnlyAfterSorting)
{
    Document doc = readyDocument();
    const QString duplicate
        = QStringLiteral("Xに同じ値を持つ座標が存在します。\r\n補間処理を行う前に修正してください。");
    {
        doc.sheets.currentPage().points = { { 1, 5 }, { 3, 2 }, { 3, 1 }, { 9, 0 } };
        ScriptedDialogs dialogs;
        dialogs.expectWarning(QStringLiteral("ソートする必要はありませんでした。"));
        const EditResult r = DataSort(doc, dialogs);
        EXPECT_FALSE(r.modified);
        EXPECT_FALSE(doc.history.canUndo());
    }
    {
        doc.sheets.currentPage().points = { { 3, 7 }, { 5, 1 }, { 3, 2 }, { 0, 4 } };
        ScriptedDialogs dialogs;
        dialogs.expectWarning(duplicate);
        const EditResult r = DataSort(doc, dialogs);
        EXPECT_TRUE(r.modified);
        EXPECT_EQ(
            doc.sheets.currentPage().points, (std::vector<Point> { { 0, 4 }, { 3, 2 }, { 3, 7 }, { 5, 1 } }));
        EXPECT_EQ(UndoCaption(doc.history), QStringLiteral("元に戻す(&U) 昇順でソート(&S)"));
        undo(doc);
        EXPECT_EQ(
            doc.sheets.currentPage().points, (std::vector<Point> { { 3, 7 }, { 5, 1 }, { 3, 2 }, { 0, 4 } }));
    }
}

TEST(EditCommandsTest, DeleteAllAsksClearsRenamesTheOnlyPageAndUndoes)
{
    Document doc = readyDocument();
    doc.sheets.currentPage().caption = QStringLiteral("実験A");
    const QString question
        = QStringLiteral("ワークシートに含まれる全てのデータを消去します。\r\n消去しますか？");
    {
        ScriptedDialogs dialogs;
        dialogs.expectQuestion(question, MsgResult::No);
        EXPECT_FALSE(DataAllDelete(doc, dialogs).modified);
        EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 30, 40, 50 }));
        EXPECT_EQ(UndoCaption(doc.history), kUndoReset);
    }
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(question, MsgResult::Yes);
    const EditResult r = DataAllDelete(doc, dialogs);
    EXPECT_TRUE(r.modified && r.redraw && r.uncheckDigitize && r.captionChanged);
    EXPECT_TRUE(doc.sheets.currentPage().points.empty());
    EXPECT_EQ(doc.sheets.currentPage().caption, QStringLiteral("Page0"));
    EXPECT_EQ(UndoCaption(doc.history), QStringLiteral("元に戻す(&U) 全て削除(&D)"));
    undo(doc);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 30, 40, 50 }));
    // The caption the user gave comes back with the points.
    EXPECT_EQ(doc.sheets.currentPage().caption, QStringLiteral("実験A"));
    EXPECT_EQ(RedoCaption(doc.history), QStringLiteral("元に戻すを取消す(&W) 全て削除(&D)"));
    redo(doc);
    EXPECT_TRUE(doc.sheets.currentPage().points.empty());
    EXPECT_EQ(doc.sheets.currentPage().caption, QStringLiteral("Page0"));

    // With a second page the caption stays.
    doc.sheets.currentPage().points = pointsAtX({ 1 });
    doc.sheets.currentPage().caption = QStringLiteral("実験A");
    doc.sheets.CreateSheetPage();
    doc.sheets.setCurrentIndex(0);
    dialogs.expectQuestion(question, MsgResult::Yes);
    EXPECT_FALSE(DataAllDelete(doc, dialogs).captionChanged);
    EXPECT_EQ(doc.sheets.currentPage().caption, QStringLiteral("実験A"));
}

TEST(EditCommandsTest, RangesOutsideThePageFailWithoutChangingIt)
{
    Document doc = readyDocument();
    const QString deleteFailed
        = QStringLiteral("指定範囲削除中にエラーが発生しました\r\n範囲を指定しなおしてください");
    const QString copyFailed
        = QStringLiteral("指定範囲コピー中にエラーが発生しました\r\n範囲を指定しなおしてください");
    const QString pasteFailed
        = QStringLiteral("データ貼り付け中にエラーが発生しました\r\n挿入する場所を指定しなおしてください");
    ScriptedDialogs dialogs;

    // Nothing selected yet: rows 0..0.
    dialogs.expectInfo(deleteFailed);
    EXPECT_FALSE(DataCut(doc, dialogs).modified);
    EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 30, 40, 50 }));
    // A cut that changed nothing is no step of the history.
    EXPECT_EQ(UndoCaption(doc.history), kUndoReset);
    EXPECT_FALSE(doc.history.canUndo());
    EXPECT_TRUE(doc.undo.clipPoints.empty());

    // A copy reaching past the last point leaves nothing on the clipboard.
    select(doc, 1, 2);
    DataCopy(doc, dialogs);
    ASSERT_EQ(doc.undo.clipPoints.size(), 2u);
    select(doc, 4, 6);
    dialogs.expectInfo(copyFailed);
    DataCopy(doc, dialogs);
    EXPECT_TRUE(doc.undo.clipPoints.empty());
    EXPECT_EQ(doc.undo.pasteCaption, QStringLiteral("貼り付け(&P)  Page0  [ 4..6 ]"));

    // Paste before row 0 or after N + 1.
    select(doc, 1, 2);
    DataCopy(doc, dialogs);
    for (int at : { 0, 7, -3 }) {
        select(doc, at, at);
        dialogs.expectInfo(pasteFailed);
        EXPECT_FALSE(DataPaste(doc, dialogs).modified);
        EXPECT_EQ(xsOf(doc), (std::vector<int> { 10, 20, 30, 40, 50 }));
    }
    EXPECT_TRUE(doc.history.isEmpty());
    EXPECT_EQ(RangeText(3, 5), QStringLiteral(" [ 3..5 ]"));
}

TEST(EditCommandsTest, PasteNeverGrowsAPageBeyondTheLimit)
{
    Document doc = readyDocument();
    std::vector<Point> full(size_t(kMaxPoints) - 1, Point { 1, 1 });
    doc.sheets.currentPage().points = full;
    doc.undo.clipPoints = pointsAtX({ 2, 3 });
    doc.undo.pasteEnabled = true;
    select(doc, 1, 1);
    ScriptedDialogs dialogs;
    dialogs.expectInfo(
        QStringLiteral("データ貼り付け中にエラーが発生しました\r\n1ページに置ける点は1000000個までです"));
    EXPECT_FALSE(DataPaste(doc, dialogs).modified);
    EXPECT_EQ(doc.sheets.currentPage().points.size(), size_t(kMaxPoints) - 1);

    // One point still fits.
    doc.undo.clipPoints = pointsAtX({ 2 });
    EXPECT_TRUE(DataPaste(doc, dialogs).modified);
    EXPECT_EQ(doc.sheets.currentPage().points.size(), size_t(kMaxPoints));
}
