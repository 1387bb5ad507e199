// The trace window: selection, erasures, tracing, transfer and closing, and
// the colour mode with its own settings value.
#include "GuiFixture.h"

#include "platform/ByteIO.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"
#include "trace/TfrmTrace.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace cvg;
using namespace cvg::test;

namespace {

QColor at(const QImage& image, int x, int y)
{
    const uchar* p = image.constScanLine(y) + 3 * x;
    return QColor(p[0], p[1], p[2]);
}

void paintRect(QImage& image, int left, int top, int right, int bottom, QColor colour)
{
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            uchar* p = image.scanLine(y) + 3 * x;
            p[0] = uchar(colour.red());
            p[1] = uchar(colour.green());
            p[2] = uchar(colour.blue());
        }
}

// Every pixel of the picture that is not white, as (x, y).
std::vector<QPoint> darkPixels(const QImage& image)
{
    std::vector<QPoint> found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (at(image, x, y) != QColor(Qt::white))
                found.emplace_back(x, y);
    return found;
}

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QString kQuestion1
    = QStringLiteral("座標データはワークシートに転送されていません。転送せずに終了しますか？");
const QString kQuestion2 = QStringLiteral("データは破棄されます。よろしいですか？");

} // namespace

class TraceWindowTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        start();
        main->show();
        // A line three pixels thick at rows 100..102, a dot and a block.
        picture = newPicture(300, 400);
        paintRect(picture, 20, 100, 279, 102, kBlack);
        paintRect(picture, 150, 300, 150, 300, kBlack);
        paintRect(picture, 250, 200, 259, 209, kBlack);
        Document& doc = main->doc();
        doc.images.workingImage = picture;
        doc.images.correctedImage = picture;
        doc.state.pictureLoaded = true;
        Calibration& cal = doc.calibration;
        cal.CorrectedPoints[YUpper] = { 0, 400, 400 };
        cal.CorrectedPoints[YLower] = { 0, 0, 0 };
        cal.CorrectedPoints[XLeft] = { 0, 0, 0 };
        cal.CorrectedPoints[XRight] = { 300, 0, 300 };
        ASSERT_TRUE(ConvertData(cal));
        cal.Converted = true;
        main->RedrawPointMarkers(false);
        trace = static_cast<TfrmTrace*>(windows->frmTrace);
    }
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
    void act(const char* name) { trace->findChild<QAction*>(QString::fromLatin1(name))->trigger(); }
    void openTrace()
    {
        trigger("ShowTraceWindow");
        ASSERT_TRUE(trace->isVisible());
    }
    void dragRect(QPoint from, QPoint to)
    {
        QWidget* paint = trace->pbPaint();
        sendMouse(paint, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
        sendMouse(paint, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        sendMouse(paint, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        sendMouse(paint, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        sendMouse(paint, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    void hover(QPoint p) { sendMouse(trace->pbPaint(), QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
    TraceSelection sel(int l, int t, int r, int b) { return TraceSelection { l, t, r, b }; }
    std::vector<Point>& points() { return main->doc().sheets.currentPage().points; }

    QImage picture;
    TfrmTrace* trace = nullptr;
};

TEST_F(TraceWindowTest, CreationValuesAndTheShowAction)
{
    EXPECT_EQ(trace->windowTitle(), QStringLiteral("線指定"));
    EXPECT_EQ(trace->size(), QSize(960, 540));
    // A fresh installation: 125 and 1, written back at once.
    EXPECT_EQ(store.values().value(QStringLiteral("Trace")), ints({ 0, 0, 125, 1 }));
    EXPECT_EQ(trace->udBoundColor()->value(), 125);
    EXPECT_EQ(trace->udInterval()->value(), 1);
    EXPECT_EQ(trace->edtBoundColor()->objectName(), QStringLiteral("edtBoundColor"));
    EXPECT_TRUE(trace->edtBoundColor()->isReadOnly());
    EXPECT_TRUE(trace->edtInterval()->isReadOnly());
    EXPECT_EQ(trace->udInterval()->minimum(), 1);
    EXPECT_EQ(trace->udInterval()->maximum(), 100);
    EXPECT_EQ(trace->udBoundColor()->maximum(), 255);
    EXPECT_FALSE(trace->udBoundColor()->wrapping());
    EXPECT_EQ(trace->findChild<QAction*>(QStringLiteral("acTraceAverage"))->toolTip(),
        QStringLiteral("平均された座標を読み込む"));

    QAction* show = main->action(QStringLiteral("ShowTraceWindow"));
    main->doc().state.pictureLoaded = false;
    dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
    trigger("ShowTraceWindow");
    EXPECT_FALSE(trace->isVisible());
    EXPECT_FALSE(show->isChecked());
    main->doc().state.pictureLoaded = true;
    main->doc().calibration.Converted = false;
    dialogs.expectWarning(QStringLiteral("換算値の計算がされていません。"));
    trigger("ShowTraceWindow");
    EXPECT_FALSE(trace->isVisible());
    EXPECT_FALSE(show->isChecked());
    main->doc().calibration.Converted = true;

    // Showing switches the digitize mode off and loads the corrected picture.
    main->action(QStringLiteral("DoDataCovert"))->setChecked(true);
    EXPECT_FALSE(trace->pbPaint()->isVisible());
    openTrace();
    EXPECT_TRUE(show->isChecked());
    EXPECT_FALSE(main->action(QStringLiteral("DoDataCovert"))->isChecked());
    EXPECT_FALSE(main->action(QStringLiteral("EditData"))->isChecked());
    EXPECT_EQ(trace->displayPicture(), picture);
    EXPECT_EQ(trace->loadedPicture(), picture);
    EXPECT_EQ(trace->imImage()->geometry(), QRect(5, 5, 300, 400));
    EXPECT_EQ(trace->pbPaint()->geometry(), QRect(5, 5, 300, 400));
    EXPECT_TRUE(trace->pbPaint()->isVisible());
    trigger("ShowTraceWindow");
    EXPECT_FALSE(trace->isVisible());
    EXPECT_FALSE(show->isChecked());
}

TEST_F(TraceWindowTest, StoredValuesOutsideTheRangesArePulledIn)
{
    store.setValue(QStringLiteral("Trace"), ints({ 30, 40, 999, 0 }));
    start();
    trace = static_cast<TfrmTrace*>(windows->frmTrace);
    EXPECT_EQ(trace->pos(), QPoint(30, 40));
    EXPECT_EQ(trace->udBoundColor()->value(), 255);
    EXPECT_EQ(trace->udInterval()->value(), 1);
    // A value of another size is replaced by the defaults.
    store.setValue(QStringLiteral("Trace"), ints({ 1, 2, 3 }));
    start();
    EXPECT_EQ(store.values().value(QStringLiteral("Trace")), ints({ 0, 0, 125, 1 }));
}

TEST_F(TraceWindowTest, SelectionWithItsEightHandles)
{
    openTrace();
    // Dragged from bottom-right to top-left: normalized on release.
    dragRect({ 200, 150 }, { 50, 40 });
    EXPECT_EQ(trace->selection(), sel(50, 40, 200, 150));

    const struct {
        QPoint at;
        int handle;
        Qt::CursorShape cursor;
    } cases[] = {
        { { 50, 100 }, 1, Qt::SizeHorCursor },
        { { 200, 100 }, 2, Qt::SizeHorCursor },
        { { 100, 40 }, 3, Qt::SizeVerCursor },
        { { 100, 150 }, 4, Qt::SizeVerCursor },
        { { 50, 40 }, 5, Qt::SizeFDiagCursor },
        { { 46, 153 }, 6, Qt::SizeBDiagCursor },
        { { 204, 36 }, 7, Qt::SizeBDiagCursor },
        { { 200, 150 }, 8, Qt::SizeFDiagCursor },
        { { 120, 100 }, 0, Qt::CrossCursor },
        { { 54, 100 }, 1, Qt::SizeHorCursor },
        // Strictly within 5 pixels; the edge tests keep 5 pixels off the corners.
        { { 55, 100 }, 0, Qt::CrossCursor },
        { { 45, 100 }, 0, Qt::CrossCursor },
        { { 50, 45 }, 0, Qt::CrossCursor },
        { { 50, 46 }, 1, Qt::SizeHorCursor },
    };
    for (const auto& c : cases) {
        hover(c.at);
        EXPECT_EQ(trace->handle(), c.handle) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(trace->pbPaint()->cursor().shape(), c.cursor) << c.at.x() << "," << c.at.y();
    }

    // The bottom-right corner follows the mouse.
    dragRect({ 200, 150 }, { 250, 180 });
    EXPECT_EQ(trace->selection(), sel(50, 40, 250, 180));
    // The top edge alone.
    dragRect({ 150, 40 }, { 150, 60 });
    EXPECT_EQ(trace->selection(), sel(50, 60, 250, 180));
    // The left edge dragged past the right one: normalized again.
    dragRect({ 50, 100 }, { 260, 120 });
    EXPECT_EQ(trace->selection(), sel(250, 60, 260, 180));

    // The outline: the red channel inverted over left..right-1, top..bottom-1.
    dragRect({ 10, 90 }, { 40, 110 });
    EXPECT_EQ(trace->selection(), sel(10, 90, 40, 110));
    const QImage shown
        = trace->imImage()->parentWidget()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(at(shown, 5 + 10, 5 + 90), QColor(0, 255, 255));
    EXPECT_EQ(at(shown, 5 + 39, 5 + 109), QColor(0, 255, 255));
    EXPECT_EQ(at(shown, 5 + 25, 5 + 90), QColor(0, 255, 255));
    EXPECT_EQ(at(shown, 5 + 39, 5 + 100), kRed); // over the black line
    EXPECT_EQ(at(shown, 5 + 10, 5 + 101), QColor(0, 255, 255)); // the line starts at x = 20
    EXPECT_EQ(at(shown, 5 + 25, 5 + 101), kBlack);
    EXPECT_EQ(at(shown, 5 + 40, 5 + 95), kWhite);
    EXPECT_EQ(at(shown, 5 + 25, 5 + 110), kWhite);
    EXPECT_EQ(at(shown, 5 + 25, 5 + 95), kWhite);

    // A click without a drag clears the selection.
    dragRect({ 120, 300 }, { 120, 300 });
    EXPECT_EQ(trace->selection(), sel(0, 0, 0, 0));
    // A drag along one axis leaves a rectangle without area.
    dragRect({ 30, 30 }, { 80, 30 });
    EXPECT_EQ(trace->selection(), sel(30, 30, 80, 30));
    const QImage before = trace->currentPicture();
    act("acInsideRange");
    act("acOutsideRange");
    EXPECT_EQ(trace->currentPicture(), before);
    EXPECT_EQ(trace->selection(), sel(30, 30, 80, 30));
    dialogs.expectInfo(QStringLiteral("領域が指定されていません"));
    act("acTrace");
    dialogs.expectInfo(QStringLiteral("領域が指定されていません"));
    act("acTraceAverage");
    EXPECT_FALSE(trace->untransferred());
}

TEST_F(TraceWindowTest, ErasuresInsideOutsideAndUndo)
{
    openTrace();
    dragRect({ 240, 190 }, { 255, 205 });
    act("acInsideRange");
    // Inside: 240..254 x 190..204 white; the block's other pixels stay.
    const QImage& inside = trace->currentPicture();
    EXPECT_EQ(at(inside, 250, 200), kWhite);
    EXPECT_EQ(at(inside, 254, 204), kWhite);
    EXPECT_EQ(at(inside, 255, 204), kBlack);
    EXPECT_EQ(at(inside, 254, 205), kBlack);
    EXPECT_EQ(darkPixels(inside).size(), darkPixels(picture).size() - 25);
    EXPECT_EQ(trace->displayPicture(), inside);
    EXPECT_EQ(trace->undoPicture(), picture);
    EXPECT_EQ(trace->selection(), sel(0, 0, 0, 0));

    act("acUndo");
    EXPECT_EQ(trace->currentPicture(), picture);
    EXPECT_EQ(trace->displayPicture(), picture);
    act("acUndo");
    EXPECT_EQ(trace->currentPicture(), picture);

    // Outside: only 100..199 x 95..104 is kept (the line's rows 100..102).
    dragRect({ 100, 95 }, { 200, 105 });
    act("acOutsideRange");
    const std::vector<QPoint> kept = darkPixels(trace->currentPicture());
    ASSERT_EQ(kept.size(), 300u);
    EXPECT_EQ(kept.front(), QPoint(100, 100));
    EXPECT_EQ(kept.back(), QPoint(199, 102));
    EXPECT_EQ(trace->selection(), sel(100, 95, 200, 105));
    EXPECT_EQ(trace->undoPicture(), picture);

    // The document's pictures are never touched.
    EXPECT_EQ(main->doc().images.correctedImage, picture);
    act("acLoadImage");
    EXPECT_EQ(trace->currentPicture(), picture);
    EXPECT_EQ(trace->selection(), sel(100, 95, 200, 105));
}

TEST_F(TraceWindowTest, TraceAllAndAverage)
{
    openTrace();
    // Dragged both ways: the same rectangle, the same points.
    for (const auto& [from, to] :
        { std::pair { QPoint(10, 50), QPoint(100, 150) }, { QPoint(100, 150), QPoint(10, 50) } }) {
        dragRect({ 200, 300 }, { 200, 300 }); // a click clears the last one
        dragRect(from, to);
        act("acTrace");
        const std::vector<TXYData>& found = trace->tracedPoints();
        // Columns 20..99 (the rectangle's right column is not scanned), three rows each.
        ASSERT_EQ(found.size(), 240u);
        EXPECT_EQ(found[0], (TXYData { 20, 100 }));
        EXPECT_EQ(found[2], (TXYData { 20, 102 }));
        EXPECT_EQ(found.back(), (TXYData { 99, 102 }));
    }
    EXPECT_TRUE(trace->untransferred());
    const QImage& marked = trace->displayPicture();
    EXPECT_EQ(at(marked, 20, 101), kRed);
    EXPECT_EQ(at(marked, 100, 101), kBlack);
    EXPECT_EQ(at(trace->currentPicture(), 20, 101), kBlack);

    // Interval 10: columns 20, 30, ..., 90.
    trace->udInterval()->setValue(10);
    act("acTrace");
    EXPECT_EQ(trace->tracedPoints().size(), 24u);
    EXPECT_EQ(at(trace->displayPicture(), 30, 100), kRed);
    EXPECT_EQ(at(trace->displayPicture(), 31, 100), kBlack);

    act("acTraceAverage");
    const std::vector<TXYData>& averaged = trace->tracedPoints();
    ASSERT_EQ(averaged.size(), 8u);
    EXPECT_EQ(averaged.front(), (TXYData { 20, 101 }));
    EXPECT_EQ(averaged.back(), (TXYData { 90, 101 }));
    // A red line joins them on a copy of the current picture.
    EXPECT_EQ(at(trace->displayPicture(), 55, 101), kRed);
    EXPECT_EQ(at(trace->displayPicture(), 55, 100), kBlack);
    EXPECT_EQ(at(trace->displayPicture(), 95, 101), kBlack);

    // A threshold of 0 finds nothing: the list stays empty and is reported.
    trace->udBoundColor()->setValue(0);
    dialogs.expectInfo(QStringLiteral("条件を変えてもう一度実行してください"));
    act("acTrace");
    EXPECT_TRUE(trace->tracedPoints().empty());
}

TEST_F(TraceWindowTest, OnePointIsReportedButTransferred)
{
    openTrace();
    dragRect({ 140, 290 }, { 160, 310 });
    dialogs.expectInfo(QStringLiteral("条件を変えてもう一度実行してください"));
    act("acTrace");
    ASSERT_EQ(trace->tracedPoints().size(), 1u);
    EXPECT_FALSE(trace->untransferred());
    EXPECT_EQ(trace->displayPicture(), picture);
    act("acSaveToGrid");
    // Row 300 of a picture 400 high: Y = 100.
    EXPECT_EQ(points(), (std::vector<Point> { { 150, 100 } }));
}

TEST_F(TraceWindowTest, TransferIntoAnEmptyThenANewPage)
{
    openTrace();
    dialogs.expectInfo(QStringLiteral("座標データが存在しません"));
    act("acSaveToGrid");
    EXPECT_EQ(main->doc().sheets.pageCount(), 1);

    trace->udInterval()->setValue(20);
    dragRect({ 10, 50 }, { 101, 150 });
    act("acTraceAverage");
    ASSERT_EQ(trace->tracedPoints().size(), 5u); // columns 20, 40, 60, 80, 100
    act("acSaveToGrid");
    const std::vector<Point> expected = { { 20, 299 }, { 40, 299 }, { 60, 299 }, { 80, 299 }, { 100, 299 } };
    EXPECT_EQ(main->doc().sheets.pageCount(), 1);
    EXPECT_EQ(points(), expected);
    EXPECT_FALSE(trace->untransferred());
    EXPECT_TRUE(main->doc().state.modified);
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更あり"));
    // The main view shows the points.
    EXPECT_NE(at(main->shownPicture(), 40, 101), at(picture, 40, 101));

    // The page now holds points: a second transfer goes into a new page.
    dragRect({ 61, 110 }, { 9, 89 });
    act("acTrace");
    act("acSaveToGrid");
    ASSERT_EQ(main->doc().sheets.pageCount(), 2);
    EXPECT_EQ(main->doc().sheets.currentIndex(), 1);
    EXPECT_EQ(main->pcSheet()->count(), 2);
    EXPECT_EQ(main->pcSheet()->tabText(1), QStringLiteral("Page1"));
    EXPECT_EQ(points(),
        (std::vector<Point> { { 20, 300 }, { 20, 299 }, { 20, 298 }, { 40, 300 }, { 40, 299 }, { 40, 298 },
            { 60, 300 }, { 60, 299 }, { 60, 298 } }));
    EXPECT_EQ(main->doc().sheets.page(0).points, expected);
}

TEST_F(TraceWindowTest, ErasingOutsideKeepsTheRedMarksForTheNextTrace)
{
    openTrace();
    dragRect({ 10, 50 }, { 40, 150 });
    act("acTrace");
    act("acOutsideRange");
    // Columns 20..39 of the line are red now in the current picture.
    EXPECT_EQ(at(trace->currentPicture(), 25, 101), kRed);
    EXPECT_EQ(at(trace->currentPicture(), 45, 101), kWhite);
    // Red has brightness 76: dark at 77, not at 76.
    trace->udBoundColor()->setValue(77);
    act("acTrace");
    EXPECT_EQ(trace->tracedPoints().size(), 60u);
    trace->udBoundColor()->setValue(76);
    dialogs.expectInfo(QStringLiteral("条件を変えてもう一度実行してください"));
    act("acTrace");
    EXPECT_TRUE(trace->tracedPoints().empty());
    dialogs.expectQuestion(kQuestion1, MsgResult::Yes).expectQuestion(kQuestion2, MsgResult::Yes);
    trace->close();
}

TEST_F(TraceWindowTest, CloseQuestionsAndTheStoredValue)
{
    openTrace();
    trace->move(70, 80);
    dragRect({ 10, 50 }, { 100, 150 });
    act("acTrace");
    ASSERT_TRUE(trace->untransferred());

    dialogs.expectQuestion(kQuestion1, MsgResult::No);
    trace->close();
    EXPECT_TRUE(trace->isVisible());
    dialogs.expectQuestion(kQuestion1, MsgResult::Yes).expectQuestion(kQuestion2, MsgResult::No);
    trace->close();
    EXPECT_TRUE(trace->isVisible());
    EXPECT_EQ(trace->tracedPoints().size(), 240u);

    // Shift with the left button steps the threshold by 10; the shown value
    // is remembered for the stored value.
    TUpDown* ud = trace->udBoundColor();
    const QPoint upArrow(ud->width() - 4, ud->height() / 4);
    QTest::mouseClick(ud, Qt::LeftButton, Qt::ShiftModifier, upArrow);
    EXPECT_EQ(ud->value(), 135);
    EXPECT_EQ(ud->singleStep(), 1);
    QTest::mouseClick(ud, Qt::LeftButton, Qt::NoModifier, upArrow);
    EXPECT_EQ(ud->value(), 136);
    trace->udInterval()->stepBy(4);

    dialogs.expectQuestion(kQuestion1, MsgResult::Yes).expectQuestion(kQuestion2, MsgResult::Yes);
    trace->close();
    EXPECT_FALSE(trace->isVisible());
    EXPECT_FALSE(main->action(QStringLiteral("ShowTraceWindow"))->isChecked());
    EXPECT_TRUE(trace->tracedPoints().empty());
    EXPECT_FALSE(trace->untransferred());
    EXPECT_EQ(trace->selection(), sel(0, 0, 0, 0));
    EXPECT_EQ(store.values().value(QStringLiteral("Trace")), ints({ trace->x(), trace->y(), 136, 5 }));
    // Nothing reached the document.
    EXPECT_TRUE(points().empty());
    EXPECT_FALSE(main->doc().state.modified);

    // A box closed without an answer lets the window close.
    openTrace();
    dragRect({ 10, 50 }, { 100, 150 });
    act("acTrace");
    dialogs.expectQuestion(kQuestion1, MsgResult::Closed);
    trace->close();
    EXPECT_FALSE(trace->isVisible());

    // After a transfer nothing is asked.
    openTrace();
    dragRect({ 10, 50 }, { 100, 150 });
    act("acTrace");
    act("acSaveToGrid");
    trace->close();
    EXPECT_FALSE(trace->isVisible());
}

TEST_F(TraceWindowTest, MorePointsThanAPageHoldsAreRefusedBeforeAnyPageIsAdded)
{
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), { { 1, 1 } }));
    main->pointsChanged();
    main->doc().images.correctedImage = newPicture(1001, 1000);
    main->RedrawPointMarkers(false);
    openTrace();
    // With 255 every pixel is dark: 1001 x 1000 points.
    trace->udBoundColor()->setValue(255);
    dragRect({ 0, 0 }, { 1001, 1000 });
    act("acTrace");
    ASSERT_EQ(trace->tracedPoints().size(), 1'001'000u);
    dialogs.expectMessage(
        QStringLiteral("座標データの数がワークシートに入る上限 (1000000) を超えます。\r\n領域か条件を"
                       "変えてもう一度実行してください。"),
        MsgIcon::Error, MsgButtons::OK, MsgResult::OK);
    act("acSaveToGrid");
    EXPECT_EQ(main->doc().sheets.pageCount(), 1);
    EXPECT_EQ(points(), (std::vector<Point> { { 1, 1 } }));
    EXPECT_TRUE(trace->untransferred());
    EXPECT_FALSE(main->doc().state.modified);
}

namespace {

// A red and a blue curve, two pixels thick, crossing at x = 140..141 where
// blue lies on top: red at rows 100 + x/2 and one below, blue at rows
// 240 - x/2 and one below, for x = 20..279.
const QColor kCurveRed(230, 20, 30);
const QColor kCurveBlue(20, 40, 220);

int redRow(int x)
{
    return 100 + x / 2;
}

int blueRow(int x)
{
    return 240 - x / 2;
}

QImage twoCurves()
{
    QImage image = newPicture(300, 400);
    for (int x = 20; x < 280; ++x) {
        paintRect(image, x, redRow(x), x, redRow(x) + 1, kCurveRed);
        paintRect(image, x, blueRow(x), x, blueRow(x) + 1, kCurveBlue);
    }
    return image;
}

// The red pixels that blue does not cover, by column, then by row.
std::vector<TXYData> redPixels()
{
    std::vector<TXYData> found;
    for (int x = 20; x < 280; ++x)
        for (int y = redRow(x); y <= redRow(x) + 1; ++y)
            if (y != blueRow(x) && y != blueRow(x) + 1)
                found.push_back({ x, y });
    return found;
}

const QString kTraceColour = QStringLiteral("TraceColour");

} // namespace

class TraceColourTest : public TraceWindowTest {
protected:
    void useTwoCurves()
    {
        picture = twoCurves();
        main->doc().images.correctedImage = picture;
        main->RedrawPointMarkers(false);
    }
    void click(QWidget* widget, QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        sendMouse(widget, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, modifiers);
        sendMouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
        sendMouse(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
    }
    void closeAnswering()
    {
        if (trace->untransferred())
            dialogs.expectQuestion(kQuestion1, MsgResult::Yes).expectQuestion(kQuestion2, MsgResult::Yes);
        trace->close();
        ASSERT_FALSE(trace->isVisible());
    }
};

TEST_F(TraceColourTest, ControlsAndTheTwoSettingsValues)
{
    // A fresh start: "TraceColour" written back at once with mode 0, pure
    // red and 60; "Trace" stays 16 bytes with its old layout.
    EXPECT_EQ(store.values().value(kTraceColour), ints({ 0, 0x000000FF, 60 }));
    EXPECT_EQ(store.values().value(QStringLiteral("Trace")), ints({ 0, 0, 125, 1 }));
    EXPECT_EQ(store.values().value(QStringLiteral("Trace")).size(), 16);
    EXPECT_EQ(trace->size(), QSize(960, 540));

    // The new controls follow the old ones on the same tool bar.
    QCheckBox* mode = trace->cbColourMode();
    QCheckBox* pick = trace->cbPickColour();
    EXPECT_EQ(mode->objectName(), QStringLiteral("cbColourMode"));
    EXPECT_EQ(mode->text(), QStringLiteral("色で指定する"));
    EXPECT_EQ(mode->toolTip(), QStringLiteral("明るさではなく線の色で座標を読み込む"));
    EXPECT_EQ(trace->butPickColour()->objectName(), QStringLiteral("butPickColour"));
    EXPECT_EQ(trace->butPickColour()->text(), QStringLiteral("色..."));
    EXPECT_EQ(trace->butPickColour()->toolTip(), QStringLiteral("読み込む線の色を選ぶ"));
    EXPECT_EQ(trace->udTolerance()->objectName(), QStringLiteral("udTolerance"));
    EXPECT_EQ(trace->edtTolerance()->objectName(), QStringLiteral("edtTolerance"));
    EXPECT_EQ(trace->udTolerance()->toolTip(), QStringLiteral("色の許容差の調節"));
    EXPECT_EQ(trace->edtTolerance()->toolTip(), QStringLiteral("色の許容差"));
    EXPECT_EQ(trace->udTolerance()->minimum(), 0);
    EXPECT_EQ(trace->udTolerance()->maximum(), 441);
    EXPECT_FALSE(trace->udTolerance()->wrapping());
    EXPECT_EQ(pick->objectName(), QStringLiteral("cbPickColour"));
    EXPECT_EQ(pick->text(), QStringLiteral("画像から色を取る"));
    EXPECT_EQ(pick->toolTip(), QStringLiteral("画像上の線をクリックしてその色を取る"));
    auto* bar = trace->findChild<QToolBar*>(QStringLiteral("tbTrace"));
    ASSERT_NE(bar, nullptr);
    QStringList order;
    for (QAction* a : bar->actions()) {
        if (a->isSeparator())
            continue;
        QWidget* w = bar->widgetForAction(a);
        order << (a->objectName().isEmpty() && w ? w->objectName() : a->objectName());
    }
    EXPECT_EQ(order,
        QStringList({ "acLoadImage", "acSaveToGrid", "acUndo", "acOutsideRange", "acInsideRange", "acTrace",
            "acTraceAverage", "udBoundColor", "udInterval", "acHelp", "cbColourMode", "butPickColour",
            "udTolerance", "cbPickColour" }));

    // Off: the threshold rules and the colour controls wait.
    EXPECT_FALSE(trace->colourMode());
    EXPECT_EQ(trace->lineColour(), qRgb(255, 0, 0));
    EXPECT_EQ(trace->tolerance(), 60);
    EXPECT_TRUE(trace->udBoundColor()->isEnabled());
    EXPECT_FALSE(trace->butPickColour()->isEnabled());
    EXPECT_FALSE(trace->udTolerance()->isEnabled());
    EXPECT_FALSE(pick->isEnabled());

    openTrace();
    QTest::mouseClick(mode, Qt::LeftButton, Qt::NoModifier, QPoint(5, mode->height() / 2));
    EXPECT_TRUE(trace->colourMode());
    EXPECT_FALSE(trace->udBoundColor()->isEnabled());
    EXPECT_TRUE(trace->butPickColour()->isEnabled());
    EXPECT_TRUE(trace->udTolerance()->isEnabled());
    EXPECT_TRUE(pick->isEnabled());
    // Shift with the left button steps the tolerance by 10 too.
    TUpDown* ud = trace->udTolerance();
    const QPoint upArrow(ud->width() - 4, ud->height() / 4);
    QTest::mouseClick(ud, Qt::LeftButton, Qt::ShiftModifier, upArrow);
    EXPECT_EQ(ud->value(), 70);
    QTest::mouseClick(ud, Qt::LeftButton, Qt::NoModifier, upArrow);
    EXPECT_EQ(ud->value(), 71);
    // The field takes typing, within 0..441: the third 9 is refused.
    ud->field()->selectAll();
    QTest::keyClicks(ud->field(), QStringLiteral("999"));
    ud->interpretText();
    EXPECT_EQ(ud->value(), 99);
    ud->setValue(33);

    // Every close writes both values; the colour 00BBGGRR as the scope's.
    trace->move(40, 50);
    closeAnswering();
    EXPECT_EQ(store.values().value(kTraceColour), ints({ 1, 0x000000FF, 33 }));
    EXPECT_EQ(store.values().value(QStringLiteral("Trace")), ints({ trace->x(), trace->y(), 125, 1 }));

    // Read back on the next start.
    store.setValue(kTraceColour, ints({ 1, 0x00C08040, 200 }));
    start();
    trace = static_cast<TfrmTrace*>(windows->frmTrace);
    EXPECT_TRUE(trace->colourMode());
    EXPECT_EQ(trace->lineColour(), qRgb(0x40, 0x80, 0xC0));
    EXPECT_EQ(trace->tolerance(), 200);
    EXPECT_FALSE(trace->udBoundColor()->isEnabled());
    EXPECT_EQ(store.values().value(kTraceColour), ints({ 1, 0x00C08040, 200 }));
    // Turned off again and closed by the end of the program.
    trace->show();
    trace->cbColourMode()->click();
    EXPECT_FALSE(trace->colourMode());
    EXPECT_TRUE(trace->udBoundColor()->isEnabled());
    EXPECT_FALSE(trace->udTolerance()->isEnabled());
    windows->closeAll();
    EXPECT_EQ(store.values().value(kTraceColour), ints({ 0, 0x00C08040, 200 }));

    // A value of another size is replaced by the defaults; values outside the
    // ranges are pulled in, the high byte of the colour is ignored.
    for (const QByteArray& wrong :
        { ints({ 1, 0x00FF0000 }), ints({ 1, 0x00FF0000, 5, 6 }), QByteArray("x") }) {
        store.setValue(kTraceColour, wrong);
        start();
        trace = static_cast<TfrmTrace*>(windows->frmTrace);
        EXPECT_EQ(store.values().value(kTraceColour), ints({ 0, 0x000000FF, 60 }));
        EXPECT_FALSE(trace->colourMode());
        EXPECT_EQ(trace->tolerance(), 60);
        EXPECT_EQ(trace->lineColour(), qRgb(255, 0, 0));
    }
    store.setValue(kTraceColour, ints({ 1, int32_t(0xAB00FF00), 999 }));
    start();
    trace = static_cast<TfrmTrace*>(windows->frmTrace);
    EXPECT_EQ(trace->lineColour(), qRgb(0, 255, 0));
    EXPECT_EQ(trace->tolerance(), 441);
    EXPECT_EQ(store.values().value(QStringLiteral("Trace")).size(), 16);
}

TEST_F(TraceColourTest, TracesTheRedCurveAloneAndKeepsItsColour)
{
    useTwoCurves();
    openTrace();
    dragRect({ 10, 50 }, { 290, 300 });

    // By brightness (the window as it always was) both curves are found:
    // red (230, 20, 30) has brightness 83, the blue one 53.
    act("acTrace");
    EXPECT_EQ(trace->tracedPoints().size(), 4u * 260 - 4);
    EXPECT_EQ(trace->markColour(), qRgb(255, 0, 0));
    EXPECT_EQ(at(trace->displayPicture(), 20, blueRow(20)), kRed);

    // By colour: the red curve alone, including the crossing, where the
    // blue one on top hides two of its columns.
    trace->cbColourMode()->click();
    trace->udBoundColor()->setValue(0); // has no say now
    act("acTrace");
    const std::vector<TXYData> red = redPixels();
    ASSERT_EQ(red.size(), 2u * 260 - 4);
    EXPECT_EQ(trace->tracedPoints(), red);
    EXPECT_EQ(red[0], (TXYData { 20, 110 }));
    EXPECT_EQ(red.back(), (TXYData { 279, 240 }));
    // The marks would vanish in red on a red line: green instead.
    EXPECT_EQ(trace->markColour(), qRgb(0, 180, 0));
    EXPECT_EQ(at(trace->displayPicture(), 20, 110), QColor(0, 180, 0));
    EXPECT_EQ(at(trace->displayPicture(), 20, blueRow(20)), kCurveBlue);
    EXPECT_EQ(at(trace->displayPicture(), 140, 170), kCurveBlue);
    EXPECT_EQ(trace->currentPicture(), picture);

    // Averaged: one point per column, halves to even; 138 and 139 lie just
    // above the crossing, 140 and 141 are hidden.
    act("acTraceAverage");
    const std::vector<TXYData>& averaged = trace->tracedPoints();
    ASSERT_EQ(averaged.size(), 258u);
    EXPECT_EQ(averaged[0], (TXYData { 20, 110 })); // 110.5 -> 110
    EXPECT_EQ(averaged[2], (TXYData { 22, 112 })); // 111.5 -> 112
    EXPECT_EQ(averaged[118], (TXYData { 138, 170 })); // 169.5 -> 170
    EXPECT_EQ(averaged[119], (TXYData { 139, 170 }));
    EXPECT_EQ(averaged[120], (TXYData { 142, 172 })); // 171.5 -> 172
    EXPECT_EQ(averaged.back(), (TXYData { 279, 240 })); // 239.5 -> 240
    EXPECT_EQ(at(trace->displayPicture(), 20, 110), QColor(0, 180, 0));

    // A tolerance of 0 matches only pure red: nothing here.
    trace->udTolerance()->setValue(0);
    dialogs.expectInfo(QStringLiteral("条件を変えてもう一度実行してください"));
    act("acTrace");
    EXPECT_TRUE(trace->tracedPoints().empty());
    // 441 takes in every pixel of the scanned columns.
    trace->udTolerance()->setValue(441);
    trace->udInterval()->setValue(100);
    act("acTrace");
    EXPECT_EQ(trace->tracedPoints().size(), 2u * 250); // columns 100 and 200, rows 50..299

    // Erasing outside after a trace by colour keeps the line's own colour, so
    // the next trace by colour finds it again.
    trace->udTolerance()->setValue(60);
    trace->udInterval()->setValue(1);
    dragRect({ 200, 350 }, { 200, 350 }); // a click clears the last rectangle
    dragRect({ 10, 100 }, { 100, 200 });
    act("acTrace");
    const std::vector<TXYData> first = trace->tracedPoints();
    ASSERT_EQ(first.size(), 160u); // columns 20..99, two rows each
    act("acOutsideRange");
    EXPECT_EQ(at(trace->currentPicture(), 20, 110), kCurveRed);
    EXPECT_EQ(at(trace->currentPicture(), 150, 175), kWhite);
    act("acTrace");
    EXPECT_EQ(trace->tracedPoints(), first);

    // The transfer writes the red curve with upward Y.
    act("acSaveToGrid");
    ASSERT_EQ(points().size(), 160u);
    EXPECT_EQ(points()[0], (Point { 20, 400 - 110 }));
    EXPECT_EQ(points().back(), (Point { 99, 400 - 150 }));
    closeAnswering();
}

TEST_F(TraceColourTest, ColourFromThePictureAndFromTheChooser)
{
    useTwoCurves();
    openTrace();
    dragRect({ 10, 50 }, { 290, 300 });
    const TraceSelection chosen = trace->selection();
    QCheckBox* pick = trace->cbPickColour();
    pick->click();
    EXPECT_FALSE(pick->isChecked()) << "picking needs the colour mode";
    trace->cbColourMode()->click();

    // With the pick box on, a click takes the pixel's colour and leaves the
    // rectangle alone; the box turns itself off.
    pick->click();
    ASSERT_TRUE(pick->isChecked());
    hover({ 200, 200 });
    EXPECT_EQ(trace->pbPaint()->cursor().shape(), Qt::PointingHandCursor);
    hover(QPoint(10, 150)); // on the rectangle's left edge: no handle while picking
    EXPECT_EQ(trace->handle(), 0);
    click(trace->pbPaint(), { 200, blueRow(200) + 1 });
    EXPECT_EQ(trace->lineColour(), kCurveBlue.rgb());
    EXPECT_FALSE(pick->isChecked());
    EXPECT_EQ(trace->selection(), chosen);
    EXPECT_EQ(trace->drag(), TfrmTrace::Drag::Idle);
    act("acTrace");
    EXPECT_EQ(trace->tracedPoints().size(), 2u * 260); // blue lies on top everywhere
    EXPECT_EQ(trace->tracedPoints().front(), (TXYData { 20, blueRow(20) }));
    // Far from red: the marks stay red.
    EXPECT_EQ(trace->markColour(), qRgb(255, 0, 0));
    EXPECT_EQ(at(trace->displayPicture(), 140, 170), kRed);

    // The colour is taken from the current picture, not from the marks shown.
    pick->click();
    click(trace->pbPaint(), { 20, blueRow(20) });
    EXPECT_EQ(trace->lineColour(), kCurveBlue.rgb());
    // The next drag draws a rectangle again.
    dragRect({ 30, 60 }, { 120, 160 });
    EXPECT_EQ(trace->selection(), sel(30, 60, 120, 160));

    // The colour chooser: starts from the current colour; cancelled, nothing changes.
    dialogs.expectColor(std::nullopt);
    trace->butPickColour()->click();
    EXPECT_EQ(trace->lineColour(), kCurveBlue.rgb());
    dialogs.expectColor(kCurveRed);
    trace->butPickColour()->click();
    EXPECT_EQ(trace->lineColour(), kCurveRed.rgb());
    dialogs.verify();
    // The swatch shows it.
    const QImage swatch = trace->butPickColour()->icon().pixmap(16, 16).toImage();
    EXPECT_EQ(swatch.pixelColor(8, 8), kCurveRed);

    // Turning the mode off turns picking off too.
    pick->click();
    trace->cbColourMode()->click();
    EXPECT_FALSE(pick->isChecked());
    EXPECT_FALSE(pick->isEnabled());
    hover({ 200, 200 });
    EXPECT_EQ(trace->pbPaint()->cursor().shape(), Qt::CrossCursor);

    closeAnswering();
    EXPECT_EQ(store.values().value(kTraceColour), ints({ 0, 0x001E14E6, 60 }));
}
