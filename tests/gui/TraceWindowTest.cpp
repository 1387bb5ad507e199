// The trace window: selection, erasures, tracing, transfer and closing.
#include "GuiFixture.h"

#include "platform/ByteIO.h"
#include "shell/TPictureView.h"
#include "shell/TUpDown.h"
#include "shell/TfrmTrace.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>

using namespace cvg;
using namespace cvg::test;

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
    Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

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

QByteArray ints(std::initializer_list<int32_t> values)
{
    QByteArray out;
    for (int32_t v : values)
        putI32(out, v);
    return out;
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
