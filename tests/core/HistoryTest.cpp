// The undo history: a hundred mixed changes undone to the same file bytes and
// redone again, what a step keeps, the saved state and the limits.
#include "ScriptedDialogs.h"
#include "TestPictures.h"

#include "calibration/CorrectDistortion.h"
#include "image/Magnify.h"
#include "platform/HeadlessDialogs.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentChanges.h"
#include "worksheet/DocumentFile.h"
#include "worksheet/EditCommands.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>

using namespace cvg;
using cvg::test::ScriptedDialogs;

namespace {

QByteArray encoded(const Document& doc)
{
    QByteArray bytes;
    NullProgress quiet;
    EXPECT_TRUE(encodeDocument(doc, bytes, quiet));
    return bytes;
}

// The calibration dialog's execution: logarithmic X from 1 to 1000, linear Y
// from 0 to 50, on axes that `shift` tilts (each shift another correction).
void calibrate(Document& doc, int shift)
{
    const Calibration before = doc.calibration;
    Calibration& cal = doc.calibration;
    const int h = doc.images.workingImage.height();
    const int w = doc.images.workingImage.width();
    cal.SourcePoints = {{{20 + 2 * shift, h - 10, 50}, {20, 30, 0}, {20, 30, 1}, {w - 15, 30 + shift, 1000}}};
    cal.XLog = true;
    cal.PointsSpecified = true;
    NullProgress quiet;
    ScriptedDialogs dialogs;
    ASSERT_TRUE(CorrectDistortion(doc.images.workingImage, cal, doc.images.correctedImage, quiet, dialogs));
    cal.Converted = ConvertData(cal);
    ASSERT_TRUE(cal.Converted);
    RecordCalibration(doc, before);
}

void resetCalibration(Document& doc)
{
    const Calibration before = doc.calibration;
    ResetCalibration(doc.calibration);
    RecordCalibration(doc, before);
}

// One change of the mixed run, chosen by `kind`, through the functions the
// windows call; some kinds change nothing in some states.
void change(Document& doc, int kind, std::mt19937& random)
{
    Worksheets& sheets = doc.sheets;
    const std::vector<Point>& points = sheets.currentPage().points;
    const int count = int(points.size());
    auto row = [&] { return 1 + int(random() % unsigned(std::max(count, 1))); };
    auto somePoint = [&] { return Point::atPrecise(random() % 300 + (random() % 4) * 0.25, random() % 200 + 0.5); };
    // Warnings (a repeated X after sorting) are answered OK.
    HeadlessDialogs answers;
    switch (kind) {
    case 0:
    case 1:
        DigitizePoint(doc, somePoint());
        break;
    case 2:
        MovePoint(doc, row(), somePoint());
        doc.history.seal();
        break;
    case 3:
        sheets.selectionStart = row();
        sheets.selectionEnd = row();
        if (count > 0)
            DataCut(doc, answers);
        break;
    case 4:
        sheets.selectionStart = std::min(row(), count + 1);
        if (doc.undo.pasteEnabled)
            DataPaste(doc, answers);
        break;
    case 5:
        if (count > 1 && !IsSortedByX(points))
            DataSort(doc, answers);
        break;
    case 6:
        AddNewSheet(doc);
        break;
    case 7:
        InsertNewSheet(doc);
        break;
    case 8:
        DeleteCurrentSheet(doc);
        break;
    case 9:
        RenameCurrentSheet(doc, QStringLiteral("測定%1").arg(random() % 100));
        break;
    case 10:
        if (count > 0) {
            ScriptedDialogs yes;
            yes.expectQuestion(QStringLiteral("ワークシートに含まれる全てのデータを消去します。\r\n消去しますか？"),
                               MsgResult::Yes);
            DataAllDelete(doc, yes);
        }
        break;
    case 11:
        if (doc.calibration.Converted)
            resetCalibration(doc);
        else
            calibrate(doc, 1 + int(random() % 5)); // another correction than the first
        break;
    default:
        sheets.setCurrentIndex(int(random() % unsigned(sheets.pageCount())));
        break;
    }
}

} // namespace

TEST(HistoryTest, HundredMixedChangesUndoToTheSameBytesAndRedoAgain)
{
    Document doc;
    doc.reset();
    doc.images.workingImage = test::drawGraph(160, 120);
    doc.state.pictureLoaded = true;
    doc.sheets.currentPage().points = {{5, 5}, {50, 60}};
    const QImage original = doc.images.workingImage;

    // Resizes before the calibration, then everything else. states[i] is the
    // file as it stood before step i + 1.
    const std::function<void()> opening[] = {
        [&] { AdoptResizedPicture(doc, resizedPicture(doc.images.workingImage, 320, 240)); },
        [&] { RevertResize(doc); },
        [&] { AdoptResizedPicture(doc, resizedPicture(doc.images.workingImage, 400, 300)); },
        [&] { calibrate(doc, 0); },
    };
    std::vector<QByteArray> states;
    std::mt19937 random(2024);
    size_t next = 0;
    QImage firstCorrection;
    while (doc.history.count() < 100) {
        const int before = doc.history.count();
        states.resize(size_t(before));
        states.push_back(encoded(doc));
        if (next < std::size(opening))
            opening[next++]();
        else
            change(doc, int(random() % 14), random);
        ASSERT_LE(doc.history.count(), before + 1);
        if (doc.history.count() == 4 && firstCorrection.isNull())
            firstCorrection = doc.images.correctedImage;
    }
    states.push_back(encoded(doc));
    ASSERT_EQ(states.size(), 101u);
    // Other corrections were made on the way.
    EXPECT_NE(doc.images.correctedImage.cacheKey(), firstCorrection.cacheKey());

    // Back through every state the document passed, to the one it began in.
    NullProgress quiet;
    ScriptedDialogs dialogs;
    for (int i = 100; i > 0; --i) {
        ASSERT_TRUE(doc.history.undo(doc, quiet, dialogs));
        ASSERT_EQ(encoded(doc), states[size_t(i - 1)]) << "after undoing step " << i;
        if (i == 5) { // the first correction is made again, not kept
            EXPECT_EQ(doc.images.correctedImage, firstCorrection);
        }
    }
    EXPECT_FALSE(doc.history.canUndo());
    EXPECT_TRUE(doc.history.isClean());
    EXPECT_EQ(doc.images.workingImage, original);
    for (int i = 1; i <= 100; ++i) {
        ASSERT_TRUE(doc.history.redo(doc, quiet, dialogs));
        ASSERT_EQ(encoded(doc), states[size_t(i)]) << "after redoing step " << i;
    }
    EXPECT_FALSE(doc.history.canRedo());
}

TEST(HistoryTest, AStepKeepsWhatChangedNotAMillionPointPage)
{
    // The bytes a step keeps apart from the document while done and while undone.
    struct Case {
        const char* what;
        std::function<void(Document&)> change;
        qint64 done, undone;
        bool reversed = false; // the page is in reverse order to begin with
    };
    constexpr qint64 kPoint = sizeof(Point);
    const Case cases[] = {
        {"one point cut", [](Document& d) { d.sheets.selectionStart = d.sheets.selectionEnd = 500000; ScriptedDialogs s; DataCut(d, s); }, kPoint, 0},
        {"a point added in the middle", [](Document& d) { DigitizePoint(d, {1000, 7}); }, 0, kPoint},
        {"a point moved", [](Document& d) { MovePoint(d, 3, {5, 5}); }, kPoint, kPoint},
        {"half the page cut", [](Document& d) { d.sheets.selectionStart = 1; d.sheets.selectionEnd = 500000; ScriptedDialogs s; DataCut(d, s); }, 500000 * kPoint, 0},
        {"a reversed page sorted", [](Document& d) { ScriptedDialogs s; DataSort(d, s); }, 4 * (kMaxPoints - 1), 4 * (kMaxPoints - 1), true},
        {"a full page added", [](Document& d) { d.sheets.CreateSheetPage(); d.sheets.currentPage().points.assign(kMaxPoints, {1, 1}); RecordNewPoints(d, 0, true, kTraceCaption); }, 0, kMaxPoints * kPoint},
    };
    for (const Case& c : cases) {
        Document doc;
        doc.reset();
        doc.state.pictureLoaded = true;
        doc.calibration.Converted = true;
        std::vector<Point>& points = doc.sheets.currentPage().points;
        points.resize(size_t(kMaxPoints) - 1);
        for (size_t i = 0; i < points.size(); ++i)
            points[i] = {int32_t(i), int32_t(i % 1000)};
        if (c.reversed)
            std::reverse(points.begin(), points.end());
        const std::vector<Point> before = points;
        c.change(doc);
        ASSERT_EQ(doc.history.count(), 1) << c.what;
        EXPECT_EQ(doc.history.heldBytes(doc), c.done) << c.what;
        NullProgress quiet;
        ScriptedDialogs dialogs;
        doc.history.undo(doc, quiet, dialogs);
        EXPECT_EQ(doc.sheets.pageCount(), 1) << c.what;
        EXPECT_TRUE(doc.sheets.page(0).points == before) << c.what;
        EXPECT_EQ(doc.history.heldBytes(doc), c.undone) << c.what;
    }
}

TEST(HistoryTest, SavedStateMergingAndLimits)
{
    Document doc;
    doc.reset();
    NullProgress quiet;
    ScriptedDialogs dialogs;
    EXPECT_TRUE(doc.history.isClean());
    DigitizePoint(doc, {1, 1});
    DigitizePoint(doc, {2, 2});
    EXPECT_FALSE(doc.history.isClean());
    doc.history.setClean();
    doc.history.undo(doc, quiet, dialogs);
    EXPECT_FALSE(doc.history.isClean());
    doc.history.redo(doc, quiet, dialogs);
    EXPECT_TRUE(doc.history.isClean());

    // Moves of one point make one step until sealed; a save in between
    // keeps them apart so that undo reaches the saved state.
    MovePoint(doc, 2, {3, 3});
    MovePoint(doc, 2, {4, 4});
    EXPECT_EQ(doc.history.count(), 3);
    EXPECT_EQ(doc.history.undoLabel(), QStringLiteral("数値編集 [ 2..2 ]"));
    doc.history.setClean();
    MovePoint(doc, 2, {5, 5});
    EXPECT_EQ(doc.history.count(), 4);
    doc.history.seal();
    MovePoint(doc, 2, {6, 6});
    EXPECT_EQ(doc.history.count(), 5);
    doc.history.undo(doc, quiet, dialogs);
    doc.history.undo(doc, quiet, dialogs);
    EXPECT_TRUE(doc.history.isClean());
    EXPECT_EQ(doc.sheets.currentPage().points[1], (Point{4, 4}));
    doc.history.undo(doc, quiet, dialogs);
    EXPECT_EQ(doc.sheets.currentPage().points[1], (Point{2, 2}));

    // A new step after undo drops the steps undone, and with them the way
    // to the saved state.
    DigitizePoint(doc, {9, 9});
    EXPECT_EQ(doc.history.count(), 3);
    EXPECT_FALSE(doc.history.canRedo());
    for (int i = 0; i < 3; ++i)
        doc.history.undo(doc, quiet, dialogs);
    EXPECT_FALSE(doc.history.isClean());
    EXPECT_TRUE(doc.sheets.currentPage().points.empty());

    // Past the step limit the oldest go; the newest always stay.
    doc.history.clear(doc);
    for (int i = 0; i < History::kMaxSteps + 5; ++i)
        DigitizePoint(doc, {i, i});
    EXPECT_EQ(doc.history.count(), History::kMaxSteps);
    while (doc.history.undo(doc, quiet, dialogs)) { }
    EXPECT_EQ(doc.sheets.currentPage().points.size(), 5u);
    EXPECT_FALSE(doc.history.isClean()); // the fresh state was dropped
}
