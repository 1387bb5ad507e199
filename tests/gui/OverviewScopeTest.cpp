// The overview window with its range frame, and the scope window.
#include "GuiFixture.h"
#include "TestPictures.h"

#include "image/Overview.h"
#include "platform/ByteIO.h"
#include "widgets/TPictureView.h"
#include "calibration/TfDeform.h"
#include "image/TfImage.h"
#include "image/TfrmScope.h"

#include <QAction>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace cvg;
using namespace cvg::test;

namespace {

// Drags a widget by an offset: press at a point, move, release where the pointer went.
void drag(QWidget* widget, QPoint at, QPoint offset)
{
    const QPointF pressGlobal = widget->mapToGlobal(QPointF(at));
    QMouseEvent press(
        QEvent::MouseButtonPress, QPointF(at), pressGlobal, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    const QPointF targetGlobal = pressGlobal + QPointF(offset);
    QMouseEvent move(QEvent::MouseMove, widget->mapFromGlobal(targetGlobal), targetGlobal, Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, widget->mapFromGlobal(targetGlobal), targetGlobal,
        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

const QColor kRed(255, 0, 0), kBlue(0, 0, 255), kWhite(255, 255, 255);

} // namespace

class OverviewScopeTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        start();
        main->resize(900, 700);
        main->show();
        QApplication::processEvents();
        Document& doc = main->doc();
        doc.images.workingImage = drawGraph(1200, 800);
        doc.images.correctedImage = patternPicture(1200, 800);
        doc.state.pictureLoaded = true;
        Calibration& cal = doc.calibration;
        cal.CorrectedPoints[YUpper] = { 100, 750, 10 };
        cal.CorrectedPoints[YLower] = { 100, 50, 0 };
        cal.CorrectedPoints[XLeft] = { 100, 50, 0 };
        cal.CorrectedPoints[XRight] = { 1100, 50, 100 };
        ASSERT_TRUE(ConvertData(cal));
        cal.Converted = true;
        main->RedrawPointMarkers(true);
        overview = static_cast<TfImage*>(windows->fImage);
        scope = static_cast<TfrmScope*>(windows->frmScope);
    }
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
    bool checked(const char* name) { return main->action(QString::fromLatin1(name))->isChecked(); }
    QColor shownAt(int x, int row) { return overview->imOverview()->picture().pixelColor(x, row); }
    QSize expectedFrame()
    {
        QScrollArea* box = main->sbImage();
        const int extent = box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, box);
        return { roundEven((box->width() - extent) * 0.4), roundEven((box->height() - extent) * 0.4) };
    }

    TfImage* overview = nullptr;
    TfrmScope* scope = nullptr;
};

TEST_F(OverviewScopeTest, OverviewNeedsAPictureAndAConversion)
{
    EXPECT_EQ(overview->windowTitle(), QStringLiteral("編集画像"));
    main->doc().state.pictureLoaded = false;
    dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
    trigger("ImageWindow");
    EXPECT_FALSE(overview->isVisible());
    EXPECT_FALSE(checked("ImageWindow"));
    main->doc().state.pictureLoaded = true;
    main->doc().calibration.Converted = false;
    dialogs.expectWarning(QStringLiteral("換算値が計算されていません。"));
    trigger("ImageWindow");
    EXPECT_FALSE(overview->isVisible());
    EXPECT_FALSE(checked("ImageWindow"));

    // Nothing to reduce: a plain message and the window stays hidden.
    main->doc().calibration.Converted = true;
    main->setShownPicture(QImage());
    dialogs.expectInfo(QStringLiteral("画像が読込まれていません"));
    trigger("ImageWindow");
    EXPECT_FALSE(overview->isVisible());
    EXPECT_FALSE(checked("ImageWindow"));
}

TEST_F(OverviewScopeTest, OverviewIsAQuarterOfTheScreenWithPointsAndTheFrame)
{
    WorksheetPage& page = main->doc().sheets.currentPage();
    ASSERT_TRUE(WritePoints(page, { { 500, 300 }, { 1000, 700 } }));
    main->RedrawPointMarkers(true);

    trigger("ImageWindow");
    ASSERT_TRUE(overview->isVisible());
    EXPECT_TRUE(checked("ImageWindow"));
    EXPECT_TRUE(overview->windowFlags() & Qt::WindowStaysOnTopHint);
    const QImage& reduced = main->doc().images.overviewImage;
    EXPECT_EQ(reduced.size(), QSize(480, 320));
    EXPECT_DOUBLE_EQ(overview->geometry().sx, 0.4);
    EXPECT_DOUBLE_EQ(overview->geometry().sy, 0.4);
    EXPECT_EQ(overview->pnOverview()->size(), QSize(480, 320));
    EXPECT_EQ(overview->imOverview()->picture().size(), QSize(480, 320));

    // Point (500, Y 300) is row 500: (200, 200) on the overview, a 2 x 2 red square.
    for (QPoint p :
        { QPoint(199, 199), QPoint(200, 199), QPoint(199, 200), QPoint(200, 200), QPoint(399, 39) })
        EXPECT_EQ(shownAt(p.x(), p.y()), kRed) << p.x() << "," << p.y();
    EXPECT_NE(shownAt(201, 200), kRed);
    EXPECT_NE(shownAt(198, 199), kRed);
    // The overview picture itself stays unmarked.
    EXPECT_NE(reduced.pixelColor(200, 200), kRed);

    // The frame: the view's visible area scaled, red outline, at the top-left.
    const QImage& frame = overview->imFrame()->frame();
    EXPECT_EQ(frame.size(), expectedFrame());
    EXPECT_EQ(overview->imFrame()->pos(), QPoint(0, 0));
    EXPECT_EQ(frame.pixelColor(0, 0), kRed);
    EXPECT_EQ(frame.pixelColor(frame.width() - 1, frame.height() - 1), kRed);
    EXPECT_EQ(frame.pixelColor(frame.width() / 2, frame.height() / 2), kWhite);

    // The window follows the main view's size.
    main->resize(1000, 760);
    QApplication::processEvents();
    EXPECT_EQ(overview->imFrame()->frame().size(), expectedFrame());

    trigger("ImageWindow");
    EXPECT_FALSE(overview->isVisible());
    EXPECT_FALSE(checked("ImageWindow"));
    EXPECT_EQ(main->doc().images.overviewImage.size(), QSize(0, 0));
}

TEST_F(OverviewScopeTest, DroppingTheFrameScrollsTheMainView)
{
    trigger("ImageWindow");
    ASSERT_TRUE(overview->isVisible());
    QScrollArea* box = main->sbImage();
    ASSERT_GT(box->horizontalScrollBar()->maximum(), 250);
    ASSERT_GT(box->verticalScrollBar()->maximum(), 100);

    // Frame dropped at (100, 40): 100 x 1200 div 480 = 250, 40 x 800 div 320 = 100.
    drag(overview->imFrame(), QPoint(5, 5), QPoint(100, 40));
    EXPECT_EQ(overview->imFrame()->pos(), QPoint(100, 40));
    EXPECT_EQ(box->horizontalScrollBar()->value(), 250);
    EXPECT_EQ(box->verticalScrollBar()->value(), 100);
    // 101 x 1200 div 480 = 252.5: the remainder is dropped.
    drag(overview->imFrame(), QPoint(5, 5), QPoint(1, 0));
    EXPECT_EQ(box->horizontalScrollBar()->value(), 252);

    // The frame is not kept inside the overview while it is dragged.
    drag(overview->imFrame(), QPoint(5, 5), QPoint(-131, 0));
    EXPECT_EQ(overview->imFrame()->pos(), QPoint(-30, 40));
    EXPECT_EQ(box->horizontalScrollBar()->value(), 0);

    // A right button or a move without a press does not drag.
    sendMouse(overview->imFrame(), QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton, Qt::RightButton);
    sendMouse(overview->imFrame(), QEvent::MouseMove, QPoint(50, 5), Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(overview->imFrame()->pos(), QPoint(-30, 40));

    // Scrolling the main view otherwise moves the frame along.
    box->horizontalScrollBar()->setValue(500);
    EXPECT_EQ(overview->imFrame()->pos(), QPoint(200, 40));
}

TEST_F(OverviewScopeTest, MarksFollowThePageAndTheToolButtons)
{
    trigger("ImageWindow");
    ASSERT_TRUE(overview->isVisible());
    EXPECT_NE(shownAt(200, 200), kRed);
    // New points redraw the main view, which rebuilds the overview.
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), { { 500, 300 } }));
    main->RedrawPointMarkers(true);
    EXPECT_EQ(shownAt(200, 200), kRed);

    // The corrected rectangle: YUpper (100, Y 750) -> (40, 20), XRight (1100, Y 50) -> (440, 300).
    auto* bar = overview->findChild<QToolBar*>(QStringLiteral("tbOverview"));
    ASSERT_NE(bar, nullptr);
    auto button = [bar](const char* name) { return bar->findChild<QToolButton*>(QString::fromLatin1(name)); };
    EXPECT_EQ(button("butPoints")->toolTip(), QStringLiteral("座標値を表示する"));
    EXPECT_EQ(button("butCorrection")->toolTip(), QStringLiteral("歪修正状態を表示する"));
    EXPECT_EQ(button("butHelp")->toolTip(), QStringLiteral("ディアログのヘルプを表示する"));
    button("butCorrection")->click();
    for (QPoint p : { QPoint(40, 20), QPoint(440, 20), QPoint(40, 300), QPoint(440, 300), QPoint(240, 20),
             QPoint(40, 160), QPoint(440, 160), QPoint(240, 300) })
        EXPECT_EQ(shownAt(p.x(), p.y()), kBlue) << p.x() << "," << p.y();
    EXPECT_NE(shownAt(41, 21), kBlue);
    EXPECT_NE(shownAt(200, 200), kRed); // a fresh copy without the points
    button("butPoints")->click();
    EXPECT_EQ(shownAt(200, 200), kRed);
    EXPECT_NE(shownAt(40, 160), kBlue);

    // Help leaves the window shown and on top.
    dialogs.expectInfo(QStringLiteral("/opt/cvg/cvghelp.chmファイルが見つかりませんでした"));
    button("butHelp")->click();
    EXPECT_TRUE(overview->isVisible());
    EXPECT_TRUE(overview->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(OverviewScopeTest, ClosingAndInterpolationShowing)
{
    trigger("ImageWindow");
    overview->move(70, 80);
    ASSERT_EQ(overview->pos(), QPoint(70, 80));
    overview->close();
    EXPECT_FALSE(overview->isVisible());
    EXPECT_FALSE(checked("ImageWindow"));
    EXPECT_EQ(*store.value(QStringLiteral("Image")), ints({ 70, 80 }));

    // After an interpolation the overview is rebuilt and shown even if hidden.
    windows->overviewShow();
    EXPECT_TRUE(overview->isVisible());
    EXPECT_TRUE(checked("ImageWindow"));
    EXPECT_EQ(main->doc().images.overviewImage.size(), QSize(480, 320));

    // A new document hides it.
    windows->hideForNewDocument(*main);
    EXPECT_FALSE(overview->isVisible());
    EXPECT_FALSE(checked("ImageWindow"));
}

TEST_F(OverviewScopeTest, ScopeTogglesWithAPictureOnly)
{
    EXPECT_EQ(scope->windowTitle(), QStringLiteral("拡大表示"));
    EXPECT_EQ(scope->size(), QSize(110, 110));
    EXPECT_TRUE(scope->windowFlags() & Qt::WindowStaysOnTopHint);
    main->doc().state.pictureLoaded = false;
    dialogs.expectWarning(QStringLiteral("グラフが読み込まれていません。"));
    trigger("ShowScopeWindow");
    EXPECT_FALSE(scope->isVisible());
    EXPECT_FALSE(checked("ShowScopeWindow"));

    main->doc().state.pictureLoaded = true;
    trigger("ShowScopeWindow");
    EXPECT_TRUE(scope->isVisible());
    EXPECT_TRUE(checked("ShowScopeWindow"));
    scope->move(12, 34);
    trigger("ShowScopeWindow");
    EXPECT_FALSE(scope->isVisible());
    EXPECT_FALSE(checked("ShowScopeWindow"));
    EXPECT_EQ(*store.value(QStringLiteral("Scope")), ints({ 12, 34, kDefaultCrosshair }));
}

TEST_F(OverviewScopeTest, ScopeLooksAtThePictureOfTheCalibrationState)
{
    Document& doc = main->doc();
    // Hidden: the scope is not drawn.
    windows->centreScope(50, 60);
    EXPECT_TRUE(scope->imScope()->picture().isNull());

    trigger("ShowScopeWindow");
    windows->centreScope(50, 60);
    EXPECT_EQ(
        scope->imScope()->picture(), makeScopeImage(doc.images.correctedImage, 50, 60, kDefaultCrosshair));
    // While the calibration dialog is open it is the uncorrected picture.
    dialogs.expectInfo(
        QStringLiteral("データは保護されています。データを変更する場合には、初期化ボタンを押してください。"));
    windows->fDeform->show();
    windows->centreScope(50, 60);
    EXPECT_EQ(
        scope->imScope()->picture(), makeScopeImage(doc.images.workingImage, 50, 60, kDefaultCrosshair));
    windows->fDeform->hide();
    doc.calibration.Converted = false;
    windows->centreScope(70, 80);
    EXPECT_EQ(
        scope->imScope()->picture(), makeScopeImage(doc.images.workingImage, 70, 80, kDefaultCrosshair));

    // Near the edge the square reaches past the picture: those parts are silver.
    windows->centreScope(3, 797);
    const QImage& near = scope->imScope()->picture();
    EXPECT_EQ(near.pixelColor(0, 0), QColor::fromRgb(kScopeBackground));
    EXPECT_EQ(near.pixelColor(100, 100), QColor::fromRgb(kScopeBackground));
    EXPECT_EQ(near.pixel(100, 20),
        doc.images.workingImage.pixel(3 - 10 + 100 * 20 / 110, 797 - 10 + 20 * 20 / 110));

    // The mouse over the main view reaches the scope through the digitizing code.
    doc.calibration.Converted = true;
    main->pbGraph()->show();
    sendMouse(main->pbGraph(), QEvent::MouseMove, QPoint(200, 150), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(
        scope->imScope()->picture(), makeScopeImage(doc.images.correctedImage, 200, 150, kDefaultCrosshair));
}

TEST_F(OverviewScopeTest, ClickingTheScopeChoosesTheCrosshairColour)
{
    trigger("ShowScopeWindow");
    windows->centreScope(50, 60);
    dialogs.expectColor(QColor(0, 255, 0));
    QTest::mouseClick(scope->imScope(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(scope->crosshairColor(), 0x00FF00);
    EXPECT_EQ(scope->imScope()->picture().pixelColor(55, 10), QColor(0, 255, 0));
    EXPECT_EQ(scope->imScope()->picture().pixelColor(10, 55), QColor(0, 255, 0));
    // Cancelled: nothing changes.
    dialogs.expectColor(std::nullopt);
    QTest::mouseClick(scope->imScope(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(scope->crosshairColor(), 0x00FF00);

    scope->move(5, 6);
    scope->close();
    EXPECT_FALSE(checked("ShowScopeWindow"));
    EXPECT_EQ(*store.value(QStringLiteral("Scope")), ints({ 5, 6, 0x00FF00 }));
    // The next start reads the colour back.
    start();
    EXPECT_EQ(static_cast<TfrmScope*>(windows->frmScope)->crosshairColor(), 0x00FF00);
    EXPECT_EQ(windows->frmScope->pos(), QPoint(5, 6));
}
