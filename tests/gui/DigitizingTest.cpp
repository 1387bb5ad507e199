// Picking points on the corrected picture, the point editor and marker sizes.
#include "GuiFixture.h"

#include "widgets/TPictureView.h"
#include "calibration/TfEditData.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QWindow>

using namespace cvg;
using namespace cvg::test;

namespace {

int squareWidth(const QImage& image, int x, int row)
{
    int width = 0;
    for (int i = 0; i < image.width(); ++i)
        width += image.pixelColor(i, row) != QColor(255, 255, 255) && std::abs(i - x) < 20;
    return width;
}

} // namespace

class DigitizingTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        start();
        main->show();
        Document& doc = main->doc();
        doc.images.workingImage = newPicture(300, 400);
        doc.images.correctedImage = newPicture(300, 400);
        doc.state.pictureLoaded = true;
        // A converted calibration: 1 unit per pixel on both axes.
        Calibration& cal = doc.calibration;
        cal.CorrectedPoints[YUpper] = {0, 400, 400};
        cal.CorrectedPoints[YLower] = {0, 0, 0};
        cal.CorrectedPoints[XLeft] = {0, 0, 0};
        cal.CorrectedPoints[XRight] = {300, 0, 300};
        ASSERT_TRUE(ConvertData(cal));
        cal.Converted = true;
        main->RedrawPointMarkers(true);
        graph = main->pbGraph();
    }
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
    void click(QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        sendMouse(graph, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, mods);
        sendMouse(graph, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, mods);
    }
    std::vector<Point>& points() { return main->doc().sheets.currentPage().points; }

    QWidget* graph = nullptr;
};

TEST_F(DigitizingTest, ModesNeedAPictureAndAConversion)
{
    main->doc().calibration.Converted = false;
    dialogs.expectWarning(QStringLiteral("換算値が計算されていません。"));
    trigger("DoDataCovert");
    EXPECT_FALSE(main->action(QStringLiteral("DoDataCovert"))->isChecked());
    dialogs.expectWarning(QStringLiteral("換算値が計算されていません。"));
    trigger("EditData");
    EXPECT_FALSE(main->action(QStringLiteral("EditData"))->isChecked());
    main->doc().calibration.Converted = true;
    dialogs.expectWarning(QStringLiteral("編集するデータがありません。"));
    trigger("EditData");
    EXPECT_FALSE(windows->fEditData->isVisible());
    main->doc().state.pictureLoaded = false;
    dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
    trigger("DoDataCovert");
    EXPECT_FALSE(main->action(QStringLiteral("DoDataCovert"))->isChecked());
}

TEST_F(DigitizingTest, ClicksAppendSortedPointsWithSquares)
{
    trigger("DoDataCovert");
    ASSERT_TRUE(main->action(QStringLiteral("DoDataCovert"))->isChecked());
    click({120, 30});
    ASSERT_EQ(points().size(), 1u);
    EXPECT_EQ(points()[0], (Point{120, 370}));
    const QImage& shown = main->shownPicture();
    EXPECT_EQ(shown.pixelColor(120, 30), QColor(0, 255, 0));
    EXPECT_EQ(squareWidth(shown, 120, 30), 7);
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更あり"));

    // Left of the last point: the page is sorted after the click.
    click({200, 50});
    click({60, 80});
    ASSERT_EQ(points().size(), 3u);
    EXPECT_EQ(points()[0], (Point{60, 320}));
    EXPECT_EQ(points()[2], (Point{200, 350}));

    // A press with Shift adds nothing.
    click({10, 10}, Qt::ShiftModifier);
    EXPECT_EQ(points().size(), 3u);

    // The coordinate display follows the mouse.
    sendMouse(graph, QEvent::MouseMove, {150, 100}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(main->lblCoordinate()->text(), QStringLiteral("150 300"));
    EXPECT_EQ(main->lblConvertedCoodinate()->text(), QStringLiteral("150 300"));

    // Toggling again leaves the mode.
    trigger("DoDataCovert");
    EXPECT_FALSE(main->action(QStringLiteral("DoDataCovert"))->isChecked());
    click({250, 250});
    EXPECT_EQ(points().size(), 3u);
}

TEST_F(DigitizingTest, HoverSelectsAndDragMovesThePoint)
{
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), {{50, 350}, {120, 370}}));
    main->pointsChanged();
    main->RedrawPointMarkers(true);
    trigger("EditData");
    ASSERT_TRUE(windows->fEditData->isVisible());

    // Exactly over the point's pixel: it becomes current, the red marker shows.
    sendMouse(graph, QEvent::MouseMove, {120, 30}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(main->doc().sheets.currentRow, 2);
    EXPECT_EQ(windows->digitizer->markerPosition(), QPoint(120, 30));
    const QImage painted = graph->grab().toImage();
    EXPECT_EQ(painted.pixelColor(120, 30), QColor(255, 0, 0));
    EXPECT_EQ(painted.pixelColor(117, 27), QColor(128, 128, 128));
    EXPECT_EQ(windows->fEditData->edtX()->text(), QStringLiteral("120"));
    EXPECT_EQ(windows->fEditData->edtY()->text(), QStringLiteral("370"));
    // One pixel aside: still selected.
    sendMouse(graph, QEvent::MouseMove, {121, 30}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(main->doc().sheets.currentRow, 2);

    // Drag from inside the red square.
    sendMouse(graph, QEvent::MouseButtonPress, {121, 30}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(graph, QEvent::MouseMove, {130, 40}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(points()[1], (Point{130, 360}));
    sendMouse(graph, QEvent::MouseMove, {150, 60}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(points()[1], (Point{130, 340}));
    sendMouse(graph, QEvent::MouseMove, {160, 90}, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(points()[1], (Point{160, 340}));
    sendMouse(graph, QEvent::MouseButtonRelease, {160, 90}, Qt::LeftButton, Qt::NoButton);
    // Rebuilt with squares only: no line between the two points.
    const QImage& shown = main->shownPicture();
    EXPECT_EQ(shown.pixelColor(160, 60), QColor(0, 255, 0));
    EXPECT_EQ(shown.pixelColor(105, 55), QColor(255, 255, 255));
    EXPECT_TRUE(main->doc().state.modified);
}

TEST_F(DigitizingTest, DragAndEditorMakeWhatTheyMoveWhole)
{
    // Points read to fractions of a pixel: what the mouse or the editor moves
    // becomes a whole pixel, the other coordinate keeps its fraction.
    const Point first = Point::atPrecise(50.25, 350.5);
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), {first, Point::atPrecise(120.375, 369.75)}));
    main->pointsChanged();
    trigger("EditData");
    sendMouse(graph, QEvent::MouseMove, {120, 30}, Qt::NoButton, Qt::NoButton);
    ASSERT_EQ(main->doc().sheets.currentRow, 2);
    sendMouse(graph, QEvent::MouseButtonPress, {120, 30}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(graph, QEvent::MouseMove, {140, 60}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(points()[1].preciseX(), 120.375);
    EXPECT_EQ(points()[1].preciseY(), 340.0);
    sendMouse(graph, QEvent::MouseMove, {150, 70}, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(points()[1], (Point{150, 340}));
    sendMouse(graph, QEvent::MouseButtonRelease, {150, 70}, Qt::LeftButton, Qt::NoButton);

    main->SelectSheetRow(1);
    windows->fEditData->udY()->stepBy(1);
    EXPECT_EQ(points()[0].preciseX(), 50.25);
    EXPECT_EQ(points()[0].preciseY(), 351.0);
}

TEST_F(DigitizingTest, PopupDeleteOnlyOnTheMarkerAndCutsThatRow)
{
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), {{50, 350}, {120, 370}, {200, 300}}));
    main->pointsChanged();
    trigger("EditData");
    sendMouse(graph, QEvent::MouseMove, {120, 30}, Qt::NoButton, Qt::NoButton);
    QAction* del = main->action(QStringLiteral("acDeleteMarker"));
    QMenu* popMarker = main->menu(QStringLiteral("popMarker"));

    // Through the window system, as a real click comes: the platform's
    // context-menu request must open popMarker, not the picture area's menu.
    QWindow* window = main->windowHandle();
    auto inWindow = [this](QPoint at) { return graph->mapTo(main.get(), at); };
    auto rightClick = [&](QPoint at) {
        QTest::mousePress(window, Qt::RightButton, {}, inWindow(at));
        QTest::mouseRelease(window, Qt::RightButton, {}, inWindow(at));
        QWidget* popup = QApplication::activePopupWidget();
        if (popup)
            popup->close();
        return popup;
    };
    EXPECT_EQ(rightClick({250, 250}), popMarker);
    EXPECT_FALSE(del->isVisible());

    main->doc().sheets.currentRow = 2;
    windows->digitizer->showMarkerAt(120, 30);
    EXPECT_EQ(rightClick({120, 30}), popMarker);
    EXPECT_TRUE(del->isVisible());
    del->trigger();
    EXPECT_EQ(points(), (std::vector<Point>{{50, 350}, {200, 300}}));

    // A right press with a modifier leaves the request to the picture area.
    QTest::mousePress(window, Qt::RightButton, Qt::ShiftModifier, inWindow({250, 250}));
    QWidget* other = QApplication::activePopupWidget();
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other, main->menu(QStringLiteral("popFile")));
    other->close();
}

TEST_F(DigitizingTest, PointEditorStepsAndClearsPastTheEnd)
{
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), {{50, 350}, {120, 370}}));
    main->pointsChanged();
    main->SelectSheetRow(2);
    trigger("EditData");
    TfEditData* editor = windows->fEditData;
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("数値編集"));
    EXPECT_EQ(editor->size(), QSize(249, 84));
    EXPECT_EQ(editor->edtX()->text(), QStringLiteral("120"));

    // An up-down click writes into the point and marks the document.
    editor->udY()->stepBy(5);
    EXPECT_EQ(points()[1], (Point{120, 375}));
    EXPECT_TRUE(main->doc().state.modified);

    // The arrows step from a typed number; Enter writes the field as it is,
    // and no button of the window takes the key.
    editor->edtX()->selectAll();
    QTest::keyClicks(editor->edtX(), QStringLiteral("500"));
    EXPECT_EQ(points()[1], (Point{120, 375}));
    editor->udX()->stepBy(1);
    EXPECT_EQ(points()[1], (Point{501, 375}));
    EXPECT_EQ(editor->edtX()->text(), QStringLiteral("501"));
    editor->edtY()->selectAll();
    QTest::keyClicks(editor->edtY(), QStringLiteral("77"));
    QTest::keyClick(editor->edtY(), Qt::Key_Return);
    EXPECT_EQ(points()[1], (Point{501, 77}));
    EXPECT_EQ(main->currentGridRow(), 2);
    EXPECT_TRUE(editor->isVisible());
    editor->edtY()->setText(QStringLiteral("7x"));
    dialogs.expectWarning(QStringLiteral("0 から 10000 までの整数を入力してください。"));
    QTest::keyClick(editor->edtY(), Qt::Key_Return);
    EXPECT_EQ(points()[1], (Point{501, 77}));
    editor->edtY()->setText(QStringLiteral("375"));
    QTest::keyClick(editor->edtY(), Qt::Key_Enter);
    editor->edtX()->setText(QStringLiteral("120"));
    QTest::keyClick(editor->edtX(), Qt::Key_Return);
    EXPECT_EQ(points()[1], (Point{120, 375}));

    editor->butPrevious()->click();
    EXPECT_EQ(editor->edtX()->text(), QStringLiteral("50"));
    // The arrows step from the point now shown, not from the one before.
    editor->udY()->stepBy(1);
    EXPECT_EQ(points()[0], (Point{50, 351}));
    EXPECT_EQ(points()[1], (Point{120, 375}));
    editor->butNext()->click();
    editor->butNext()->click();
    EXPECT_EQ(editor->edtX()->text(), QString());
    EXPECT_EQ(editor->edtY()->text(), QString());
    EXPECT_FALSE(editor->udX()->isEnabled());
    EXPECT_FALSE(editor->butDelete()->isEnabled());

    editor->butPrevious()->click();
    EXPECT_TRUE(editor->butDelete()->isEnabled());
    editor->butDelete()->click();
    EXPECT_EQ(points(), (std::vector<Point>{{50, 351}}));

    editor->findChild<QPushButton*>(QStringLiteral("butClose"))->click();
    EXPECT_FALSE(main->action(QStringLiteral("EditData"))->isChecked());
    EXPECT_EQ(windows->digitizer->markerPosition(), QPoint(-10, -10));
}

TEST_F(DigitizingTest, MarkerSizesAreUsedAndStored)
{
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), {{100, 200}}));
    trigger("MakerSizeConfigularion");
    TfMarker* sizes = windows->fMarker;
    ASSERT_TRUE(sizes->isVisible());
    EXPECT_EQ(sizes->udGeneral()->value(), 3);
    sizes->udGeneral()->setValue(5);
    sizes->udCurrent()->setValue(1);
    EXPECT_EQ(sizes->udGeneral()->maximum(), 5);
    EXPECT_EQ(sizes->udCurrent()->minimum(), 1);
    sizes->findChild<QPushButton*>(QStringLiteral("butClose"))->click();
    EXPECT_EQ(squareWidth(main->shownPicture(), 100, 200), 11);
    EXPECT_FALSE(main->action(QStringLiteral("MakerSizeConfigularion"))->isChecked());
    const QByteArray stored = *store.value(QStringLiteral("Mark"));
    ASSERT_EQ(stored.size(), 16);
    EXPECT_EQ(stored.at(8), 5);
    EXPECT_EQ(stored.at(12), 1);

    // The current marker of size 1 is a 3 x 3 square, red only in its centre.
    windows->digitizer->showMarkerAt(50, 50);
    const QImage painted = graph->grab().toImage();
    EXPECT_EQ(painted.pixelColor(50, 50), QColor(255, 0, 0));
    EXPECT_EQ(painted.pixelColor(49, 49), QColor(128, 128, 128));
    // Outside it the surface paints nothing.
    EXPECT_NE(painted.pixelColor(48, 50), QColor(255, 0, 0));
    EXPECT_NE(painted.pixelColor(48, 50), QColor(128, 128, 128));
}
