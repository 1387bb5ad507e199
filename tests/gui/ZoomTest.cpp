// The zoomed main view: clicks, marks, reference markers, the remembered
// zoom, Ctrl + wheel; and the Delete key, the loupe, all pages at once and
// the recently used files.
#include "GuiFixture.h"

#include "calibration/TfDeform.h"
#include "calibration/TfEditData.h"
#include "image/BmpCodec.h"
#include "widgets/TLoupe.h"
#include "platform/Progress.h"
#include "widgets/TPictureView.h"
#include "worksheet/PointMarkers.h"
#include "worksheet/TSheetGrid.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QSpinBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <set>

using namespace cvg;
using namespace cvg::test;

namespace {

// A plotted graph: grid, axes, labels and an anti-aliased curve.
QImage plottedGraph(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 200, 200), 1));
    for (int x = 40; x < width; x += 40)
        p.drawLine(x, 0, x, height);
    for (int y = 40; y < height; y += 40)
        p.drawLine(0, y, width, y);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(30, height - 30, width - 10, height - 30);
    p.drawLine(30, 10, 30, height - 30);
    p.drawText(QRect(0, height - 28, 60, 20), Qt::AlignCenter, QStringLiteral("0"));
    p.drawText(QRect(width - 70, height - 28, 60, 20), Qt::AlignCenter, QStringLiteral("時間 [s]"));
    p.setPen(QPen(QColor(0, 0, 160), 3));
    QPainterPath curve;
    curve.moveTo(30, height - 40);
    curve.cubicTo(width / 3.0, 20, width * 2 / 3.0, height - 20, width - 20, 40);
    p.drawPath(curve);
    return image;
}

// Every pixel's colour names it: the oracle for "the pixel shown at a place
// of the view".
QImage codedPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            line[3 * x] = uchar(x & 0xFF);
            line[3 * x + 1] = uchar(y & 0xFF);
            line[3 * x + 2] = uchar(((x >> 8) & 0x0F) | ((y >> 8) << 4));
        }
    }
    return image;
}

QPoint decoded(QRgb c)
{
    return {qRed(c) | ((qBlue(c) & 0x0F) << 8), qGreen(c) | ((qBlue(c) >> 4) << 8)};
}

} // namespace

class ZoomTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        start();
        main->show();
        QApplication::processEvents();
    }

    // A converted calibration of one unit per pixel on `picture`.
    void calibrated(const QImage& picture)
    {
        Document& doc = main->doc();
        doc.images.workingImage = picture;
        doc.images.correctedImage = picture;
        doc.state.pictureLoaded = true;
        Calibration& cal = doc.calibration;
        cal.CorrectedPoints[YUpper] = {0, picture.height(), double(picture.height())};
        cal.CorrectedPoints[YLower] = {0, 0, 0};
        cal.CorrectedPoints[XLeft] = {0, 0, 0};
        cal.CorrectedPoints[XRight] = {picture.width(), 0, double(picture.width())};
        ASSERT_TRUE(ConvertData(cal));
        cal.Converted = true;
        main->RedrawPointMarkers(true);
    }
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
    std::vector<Point>& points() { return main->doc().sheets.currentPage().points; }
    // A click through the window system at a position of a widget.
    void click(QWidget* widget, QPoint at, Qt::KeyboardModifiers mods = {})
    {
        const QPoint inWindow = widget->mapTo(main.get(), at);
        QTest::mousePress(main->windowHandle(), Qt::LeftButton, mods, inWindow);
        QTest::mouseRelease(main->windowHandle(), Qt::LeftButton, mods, inWindow);
    }
    // What the view shows, as on the screen.
    QImage viewShot() { return main->imImage()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

TEST_F(ZoomTest, AClickAddsThePixelUnderTheCursorAtEveryZoom)
{
    const QImage picture = codedPicture(700, 500);
    calibrated(picture);
    trigger("DoDataCovert");
    for (const double zoom : {0.37, 4.0, 1.0}) {
        SCOPED_TRACE(zoom);
        points().clear();
        main->pointsChanged();
        main->RedrawPointMarkers(true);
        main->setZoom(zoom);
        EXPECT_DOUBLE_EQ(main->zoom(), zoom);
        // Scrolled into the middle, so that the scroll offset counts too.
        QScrollArea* box = main->sbImage();
        box->horizontalScrollBar()->setValue(box->horizontalScrollBar()->maximum() / 2);
        box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum() / 2);
        QApplication::processEvents();
        const QImage shot = viewShot();
        // Places in the viewport, some on the borders between zoomed pixels.
        QWidget* port = box->viewport();
        std::set<std::pair<int, int>> expected;
        std::vector<QPoint> places;
        for (const QPoint inPort : {QPoint(10, 10), QPoint(41, 37), QPoint(120, 77), QPoint(203, 150),
                                    QPoint(port->width() - 12, port->height() - 9)}) {
            const QPoint at = main->pbGraph()->mapFrom(port, inPort);
            if (!main->imImage()->rect().contains(at))
                continue;
            const QPoint shown = decoded(shot.pixel(at));
            if (expected.insert({shown.x(), picture.height() - shown.y()}).second)
                places.push_back(at);
        }
        ASSERT_GE(places.size(), 4u);
        for (const QPoint at : places)
            click(main->pbGraph(), at);
        std::set<std::pair<int, int>> added;
        for (const Point& p : points())
            added.insert({p.X, p.Y});
        EXPECT_EQ(added, expected);
        EXPECT_EQ(points().size(), places.size());
    }
}

TEST_F(ZoomTest, MarksKeepTheirSizeOnTheViewAndTheZoomIsRemembered)
{
    calibrated(plottedGraph(600, 400));
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), {{100, 300}, {300, 150}, {500, 250}}));
    main->pointsChanged();
    for (const double zoom : {0.25, 4.0}) {
        SCOPED_TRACE(zoom);
        main->setZoom(zoom);
        main->RedrawPointMarkers(false);
        // The point (300, 150) is at row 250; its square is 7 view pixels
        // wide whatever the zoom.
        const QPoint centre = main->imImage()->scale().toView(QPoint(300, 400 - 150));
        main->sbImage()->ensureVisible(centre.x(), centre.y(), 50, 50);
        QApplication::processEvents();
        const QImage shot = viewShot();
        int green = 0;
        for (int dx = -10; dx <= 10; ++dx) {
            const QRgb c = shot.pixel(centre.x() + dx, centre.y());
            green += (c & 0xFFFFFF) == 0x00FF00 || (c & 0xFFFFFF) == 0x008000;
        }
        EXPECT_EQ(green, 7);
        // The picture that is kept for the overview carries the marks at 100 %.
        EXPECT_EQ(main->markedPicture().pixel(300, 250) & 0xFFFFFF, 0x00FF00u);
    }
    // Back at 100 % the view is what it always was, pixel for pixel.
    main->setZoom(1.0);
    main->RedrawPointMarkers(true);
    NullProgress quiet;
    EXPECT_EQ(main->shownPicture(),
              RedrawPointMarkers(main->doc().images.correctedImage, points(), true, 3, quiet));

    main->setZoom(4.0);
    ASSERT_TRUE(closeMain());
    EXPECT_EQ(store.value(QStringLiteral("Main"))->size(), 286);
    EXPECT_EQ(store.value(QStringLiteral("View"))->size(), 8);
    start();
    EXPECT_DOUBLE_EQ(main->zoom(), 4.0);
    EXPECT_EQ(main->findChild<QLabel*>(QStringLiteral("lblZoom"))->text(), QStringLiteral("400%"));
}

TEST_F(ZoomTest, CtrlWheelZoomsAboutTheCursorAndTheKeysStepAndFit)
{
    calibrated(plottedGraph(1600, 1200));
    QWidget* port = main->sbImage()->viewport();
    const QPoint cursor(150, 120);
    auto pixelUnder = [&] { return main->imImage()->scale().toPixel(main->imImage()->mapFrom(port, cursor)); };
    const QPoint before = pixelUnder();
    QWheelEvent wheel(QPointF(cursor), QPointF(port->mapToGlobal(cursor)), {}, QPoint(0, 240), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(port, &wheel);
    EXPECT_DOUBLE_EQ(main->zoom(), 2.0); // two steps up from 100 %
    EXPECT_LE((pixelUnder() - before).manhattanLength(), 1);

    QTest::keyClick(main.get(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(main->zoom(), 1.5);
    trigger("acZoomActual");
    EXPECT_DOUBLE_EQ(main->zoom(), 1.0);
    trigger("acZoomFit");
    const QSize room = main->sbImage()->maximumViewportSize();
    EXPECT_LE(main->imImage()->width(), room.width());
    EXPECT_LE(main->imImage()->height(), room.height());
    EXPECT_TRUE(main->imImage()->width() >= room.width() - 2 || main->imImage()->height() >= room.height() - 2);
    for (int i = 0; i < 40; ++i)
        trigger("acZoomOut");
    EXPECT_DOUBLE_EQ(main->zoom(), 0.1);
    for (int i = 0; i < 40; ++i)
        trigger("acZoomIn");
    EXPECT_DOUBLE_EQ(main->zoom(), 16.0);
}

TEST_F(ZoomTest, ReferenceMarkersLandOnThePixelAtZoomAndArrowKeysMoveThem)
{
    const QImage picture = plottedGraph(500, 400);
    main->doc().images.workingImage = picture;
    main->doc().state.pictureLoaded = true;
    main->ShowWorkingImage();
    main->setZoom(4.0);
    TfDeform* deform = windows->fDeform;
    trigger("acDeformationData");
    ASSERT_TRUE(deform->isVisible());
    main->sbImage()->horizontalScrollBar()->setValue(0);
    main->sbImage()->verticalScrollBar()->setValue(0);
    // A rectangle dragged on the zoomed picture: its corners are the pixels
    // under the cursor.
    QWidget* paint = main->pbPaint();
    dialogs.expectQuestion(QStringLiteral("指定された座標を歪修正データとして採用しますか？\r\n\r\n"
                                          "座標は、マーカを移動することで修正できます。"),
                           MsgResult::Yes);
    const QPoint from(4 * 30 + 2, 4 * 20 + 3), to(4 * 70 + 1, 4 * 90 + 3);
    const QPoint inWindowFrom = paint->mapTo(main.get(), from), inWindowTo = paint->mapTo(main.get(), to);
    QTest::mousePress(main->windowHandle(), Qt::LeftButton, {}, inWindowFrom);
    QTest::mouseMove(main->windowHandle(), inWindowTo);
    QTest::mouseRelease(main->windowHandle(), Qt::LeftButton, {}, inWindowTo);
    dialogs.verify();
    const Calibration& cal = main->doc().calibration;
    EXPECT_EQ(cal.SourcePoints[YUpper].x, 30);
    EXPECT_EQ(cal.SourcePoints[YUpper].y, 400 - 20);
    EXPECT_EQ(cal.SourcePoints[XRight].x, 70);
    EXPECT_EQ(cal.SourcePoints[XRight].y, 400 - 90);
    // The marker's centre pixel sits on the centre of its zoomed pixel.
    TMarkImage* upper = deform->marker(YUpper);
    const QPoint centre = upper->pos() + QPoint(10, 10) - main->imImage()->pos();
    EXPECT_EQ(main->imImage()->scale().toPixel(centre), QPoint(30, 20));

    // Dragged 9 view pixels right: two picture pixels and a bit.
    const QPoint grab = upper->mapTo(main.get(), QPoint(10, 10));
    QTest::mousePress(main->windowHandle(), Qt::LeftButton, {}, grab);
    QTest::mouseMove(main->windowHandle(), grab + QPoint(9, 0));
    QTest::mouseRelease(main->windowHandle(), Qt::LeftButton, {}, grab + QPoint(9, 0));
    EXPECT_EQ(cal.SourcePoints[YUpper].x, 32);
    EXPECT_EQ(deform->udX(YUpper)->value(), 32);
    // The loupe showed the pixel being dragged to.
    EXPECT_EQ(main->loupe()->pixel(), QPoint(32, 20));
    EXPECT_EQ(main->loupe()->caption(), QStringLiteral("32, 380"));
    EXPECT_EQ(main->loupe()->patch().pixel(TLoupe::kSpan / 2, TLoupe::kSpan / 2), picture.pixel(32, 20));

    // The arrow keys move the marker pressed last by one pixel.
    main->MarkUnmodified();
    QTest::keyClick(paint, Qt::Key_Left);
    QTest::keyClick(paint, Qt::Key_Up);
    QTest::keyClick(paint, Qt::Key_Up);
    EXPECT_EQ(cal.SourcePoints[YUpper].x, 31);
    EXPECT_EQ(cal.SourcePoints[YUpper].y, 382);
    EXPECT_EQ(deform->udY(YUpper)->value(), 382);
    EXPECT_TRUE(main->doc().state.modified);

    // Another zoom puts the markers back onto their pixels.
    main->setZoom(2.0);
    const QPoint after = upper->pos() + QPoint(10, 10) - main->imImage()->pos();
    EXPECT_EQ(main->imImage()->scale().toPixel(after), QPoint(31, 18));
}

TEST_F(ZoomTest, DeleteKeyRemovesTheSelectedRowsOrTheCurrentPoint)
{
    calibrated(plottedGraph(400, 300));
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(),
                            {{10, 100}, {20, 110}, {30, 120}, {40, 130}, {50, 140}}));
    main->pointsChanged();
    TSheetGrid* grid = main->currentGrid();
    grid->setFocus();
    // Rows 2 to 4 selected in the grid.
    Worksheets& sheets = main->doc().sheets;
    sheets.selectionStart = 2;
    sheets.selectionEnd = 4;
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(points(), (std::vector<Point>{{10, 100}, {50, 140}}));
    EXPECT_TRUE(main->doc().state.modified);

    // On the picture, in the point-edit mode: the current point only.
    trigger("EditData");
    main->SelectSheetRow(2);
    main->pbGraph()->setFocus();
    QTest::keyClick(main->pbGraph(), Qt::Key_Right);
    EXPECT_EQ(points()[1], (Point{51, 140}));
    QTest::keyClick(main->pbGraph(), Qt::Key_Delete);
    EXPECT_EQ(points(), (std::vector<Point>{{10, 100}}));
    // Undo takes the Delete back, then the arrow key's move.
    trigger("DataUndo");
    EXPECT_EQ(points(), (std::vector<Point>{{10, 100}, {51, 140}}));
    trigger("DataUndo");
    EXPECT_EQ(points(), (std::vector<Point>{{10, 100}, {50, 140}}));
}

TEST_F(ZoomTest, AllPagesShowInTheirColoursWithTheCurrentPageOnTop)
{
    calibrated(plottedGraph(400, 300));
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), {{100, 150}, {200, 150}}));
    trigger("AddNewSheet");
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), {{100, 100}, {300, 100}}));
    main->pointsChanged();
    main->RedrawPointMarkers(true);
    // Only the current page at first.
    EXPECT_NE(main->shownPicture().pixel(100, 150) & 0xFFFFFF, TfrmMain::pageColour(0) & 0xFFFFFF);
    trigger("acShowAllPages");
    const QImage shown = main->shownPicture();
    EXPECT_EQ(shown.pixel(100, 150) & 0xFFFFFF, TfrmMain::pageColour(0) & 0xFFFFFF);
    EXPECT_EQ(shown.pixel(200, 150) & 0xFFFFFF, TfrmMain::pageColour(0) & 0xFFFFFF);
    EXPECT_EQ(shown.pixel(300, 200) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(shown.pixel(200, 200) & 0xFFFFFF, 0xFA0000u); // the current page's line
    EXPECT_FALSE(main->cbxSheetList()->itemIcon(0).isNull());
    // Off again: the other page goes.
    trigger("acShowAllPages");
    EXPECT_EQ(main->shownPicture().pixel(200, 150), main->doc().images.correctedImage.pixel(200, 150));
    EXPECT_TRUE(main->cbxSheetList()->itemIcon(0).isNull());
}

TEST_F(ZoomTest, RecentFilesAreListedAndAMissingOneIsRemoved)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("graph-a.bmp"));
    const QString second = dir.filePath(QStringLiteral("graph-b.bmp"));
    SaveBmpPicture(first, plottedGraph(120, 80));
    SaveBmpPicture(second, plottedGraph(160, 90));
    dialogs.expectOpen(FileDialogResult{true, first, 2});
    trigger("OpenBitmap");
    dialogs.expectOpen(FileDialogResult{true, second, 2});
    trigger("OpenBitmap");
    EXPECT_EQ(main->recentFiles(), (QStringList{second, first}));
    QMenu* recent = main->menu(QStringLiteral("popRecent"));
    ASSERT_EQ(recent->actions().size(), 2);
    EXPECT_TRUE(recent->actions()[1]->text().endsWith(QStringLiteral("graph-a.bmp")));

    // Choosing an entry opens it; a missing one is removed with a message.
    recent->actions()[1]->trigger();
    EXPECT_EQ(main->doc().images.workingImage.size(), QSize(120, 80));
    EXPECT_EQ(main->recentFiles().first(), first);
    QFile::remove(second);
    dialogs.expectInfo(QStringLiteral("ファイルが見つかりません。一覧から削除します。\r\n") + second);
    recent->actions()[1]->trigger();
    EXPECT_EQ(main->recentFiles(), QStringList{first});
    EXPECT_EQ(RecentFiles::decode(*store.value(QStringLiteral("Recent"))).paths, QStringList{first});
}
