// The trace window's readings by name on drawn figures: the list and its
// stored value, following from a click on one of two crossing curves, one
// point per marker or bar, and the areas left out with Shift.
#include "GuiFixture.h"
#include "TestPictures.h"

#include "platform/ByteIO.h"
#include "trace/TfrmTrace.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <cmath>

using namespace cvg;
using namespace cvg::test;

namespace {

const QString kReadingValue = QStringLiteral("TraceReading");
const QString kSeedMissing = QStringLiteral("クリックした位置から 3 ピクセル以内に線が見つかりません。\r\n"
                                            "追跡する曲線の上をクリックしてください。");

} // namespace

class TraceReadingsTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        start();
        main->show();
        trace = static_cast<TfrmTrace*>(windows->frmTrace);
    }
    // The figure as the calibrated, corrected picture, the trace window open
    // on it with a threshold that takes anti-aliased ink in.
    void openOn(FigureKind kind)
    {
        figure = drawFigure(kind);
        Document& doc = main->doc();
        doc.images.workingImage = figure.picture;
        doc.images.correctedImage = figure.picture;
        doc.state.pictureLoaded = true;
        const int w = figure.picture.width();
        const int h = figure.picture.height();
        Calibration& cal = doc.calibration;
        cal.CorrectedPoints[YUpper] = { 0, h, double(h) };
        cal.CorrectedPoints[YLower] = { 0, 0, 0 };
        cal.CorrectedPoints[XLeft] = { 0, 0, 0 };
        cal.CorrectedPoints[XRight] = { w, 0, double(w) };
        ASSERT_TRUE(ConvertData(cal));
        cal.Converted = true;
        main->RedrawPointMarkers(false);
        main->action(QStringLiteral("ShowTraceWindow"))->trigger();
        ASSERT_TRUE(trace->isVisible());
        trace->udBoundColor()->setValue(160);
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* paint = trace->pbPaint();
        sendMouse(paint, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton, modifiers);
        sendMouse(paint, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, modifiers);
        sendMouse(paint, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton, modifiers);
        sendMouse(paint, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, modifiers);
        sendMouse(paint, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, modifiers);
    }
    void click(QPoint at) { drag(at, at); }
    // The rectangle over the inside of the axes (its right and bottom edges exclusive).
    void selectPlot() { drag(figure.plot.topLeft(), figure.plot.bottomRight() + QPoint(1, 1)); }
    // An area left out, inclusive corners.
    void leaveOut(const QRect& area) { drag(area.topLeft(), area.bottomRight(), Qt::ShiftModifier); }
    void read(TraceReading reading)
    {
        trace->cbxReading()->setCurrentIndex(int(reading));
        trace->findChild<QAction*>(QStringLiteral("acTraceReading"))->trigger();
    }
    void useColourOf(QColor colour)
    {
        trace->cbColourMode()->click();
        dialogs.expectColor(colour);
        trace->butPickColour()->click();
    }
    // The same reading by the core, on the figure's dark pixels.
    std::vector<PrecisePoint> byTheCore(const ReadingRequest& request) const
    {
        TTraceLine engine;
        engine.BoundColor = 160;
        engine.ScanInterval = 1;
        engine.Excluded = trace->excludedAreas();
        const QRect& r = figure.plot;
        return RunReading(engine, figure.picture, r.left(), r.top(), r.right(), r.bottom(), request).points;
    }
    int pointsInside(const QRect& area) const
    {
        int n = 0;
        for (const PrecisePoint& p : trace->readingPoints())
            n += area.contains(QPoint(int(std::lround(p.x)), int(std::lround(p.row))));
        return n;
    }
    // The worst distance from a found point to the nearest of the centres.
    static double worstMiss(const std::vector<PrecisePoint>& found, const std::vector<QPointF>& centres)
    {
        double worst = 0;
        for (const PrecisePoint& p : found) {
            double nearest = 1e9;
            for (const QPointF& c : centres)
                nearest = std::min(nearest, std::hypot(p.x - c.x(), p.row - c.y()));
            worst = std::max(worst, nearest);
        }
        return worst;
    }

    Figure figure;
    TfrmTrace* trace = nullptr;
};

// Each reading chosen by name gives what the core gives for the same
// settings, and the transfer writes it, fractions of the precise one kept.
TEST_F(TraceReadingsTest, EachReadingGivesWhatTheCoreGives)
{
    const struct {
        FigureKind figure;
        TraceReading reading;
        Reading kind;
        bool precise;
    } cases[] = {
        { FigureKind::BlackCurves, TraceReading::All, Reading::All, false },
        { FigureKind::BlackCurves, TraceReading::Average, Reading::Average, false },
        { FigureKind::BlackCurves, TraceReading::Precise, Reading::Average, true },
        { FigureKind::Bars, TraceReading::Bars, Reading::Bars, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.reading));
        openOn(c.figure);
        selectPlot();
        if (c.reading == TraceReading::Bars)
            leaveOut(figure.legend);
        read(c.reading);
        ReadingRequest request;
        request.kind = c.kind;
        request.precise = c.precise;
        const std::vector<PrecisePoint> expected = byTheCore(request);
        ASSERT_GE(expected.size(), 2u);
        EXPECT_EQ(trace->readingPoints(), expected);
        EXPECT_TRUE(trace->untransferred());
        if (c.reading == TraceReading::Bars) {
            EXPECT_EQ(expected.size(), figure.bars.size());
            EXPECT_LE(worstMiss(expected, figure.bars), 1.0);
        }

        trace->findChild<QAction*>(QStringLiteral("acSaveToGrid"))->trigger();
        const std::vector<Point>& written = main->doc().sheets.currentPage().points;
        ASSERT_EQ(written.size(), expected.size());
        const int height = figure.picture.height();
        bool fractions = false;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(written[i].preciseX(), expected[i].x, 1e-3);
            EXPECT_NEAR(written[i].preciseY(), height - expected[i].row, 1e-3);
            fractions = fractions || written[i].hasFraction();
        }
        EXPECT_EQ(fractions, c.precise);
        trace->close();
        main->action(QStringLiteral("AddNewSheet"))->trigger();
    }
}

// Following waits for a click on the curve and takes that curve alone,
// across the crossing with the other.
TEST_F(TraceReadingsTest, FollowTakesTheClickedOfTwoCrossingCurves)
{
    openOn(FigureKind::BlackCurves);
    selectPlot();
    for (size_t chosen = 0; chosen < 2; ++chosen) {
        SCOPED_TRACE(chosen);
        read(TraceReading::Follow);
        EXPECT_TRUE(trace->waitingForSeed());
        EXPECT_EQ(trace->lblReadingHint()->text(),
            QStringLiteral("追跡する曲線の上をクリックしてください（Esc で中止）"));
        // A click outside the rectangle asks again and reads nothing.
        click(figure.plot.topLeft() - QPoint(3, 3));
        EXPECT_TRUE(trace->waitingForSeed());
        EXPECT_TRUE(trace->lblReadingHint()->text().startsWith(QStringLiteral("矩形領域の内側で")));

        // On the vertical grid line at 1 s, where both curves meet a line
        // of their own colour.
        const DrawnCurve& curve = figure.curves[chosen];
        const QPointF seed = curve.path[curve.path.size() / 5];
        click(QPoint(int(std::lround(seed.x())), int(std::lround(seed.y()))));
        EXPECT_FALSE(trace->waitingForSeed());
        const std::vector<PrecisePoint>& found = trace->readingPoints();
        ASSERT_GT(found.size(), size_t(figure.plot.width() / 2));
        double worst = 0;
        for (const PrecisePoint& p : found)
            worst = std::max(worst, distanceToPath(curve.path, QPointF(p.x, p.row)));
        EXPECT_LE(worst, 1.5);
        EXPECT_TRUE(trace->tracedPoints().empty());
        EXPECT_TRUE(trace->untransferred());
    }
}

// A seed with no ink within three pixels: the message, no points, and the
// next click may try again until Esc.
TEST_F(TraceReadingsTest, ASeedAwayFromTheInkGivesTheMessageAndNoPoints)
{
    openOn(FigureKind::BlackCurves);
    selectPlot();
    read(TraceReading::Follow);
    dialogs.expectInfo(kSeedMissing);
    click(figure.plot.topLeft() + QPoint(40, 5));
    dialogs.verify();
    EXPECT_TRUE(trace->readingPoints().empty());
    EXPECT_FALSE(trace->untransferred());
    EXPECT_EQ(trace->displayPicture(), figure.picture);
    EXPECT_TRUE(trace->waitingForSeed());
    QTest::keyClick(trace, Qt::Key_Escape);
    EXPECT_FALSE(trace->waitingForSeed());
    // Clicks draw rectangles again.
    click(figure.plot.center());
    EXPECT_EQ(trace->selection(), TraceSelection {});
}

// One point per marker of the chosen colour; the legend's marker counts
// until the legend is left out with a Shift drag, and comes back when the
// areas are cleared.
TEST_F(TraceReadingsTest, MarkersAndTheLegendLeftOut)
{
    openOn(FigureKind::Scatter);
    useColourOf(figure.circleColour);
    // Without a rectangle a Shift drag leaves nothing out and says why.
    leaveOut(figure.legend);
    EXPECT_TRUE(trace->excludedAreas().empty());
    EXPECT_TRUE(trace->lblReadingHint()->text().startsWith(QStringLiteral("除外する領域は")));
    selectPlot();
    read(TraceReading::Markers);
    EXPECT_EQ(trace->readingPoints().size(), figure.circles.size() + 1);
    EXPECT_EQ(pointsInside(figure.legend), 1);

    EXPECT_FALSE(trace->butClearExcluded()->isEnabled());
    // Dragged past the rectangle's top: only its inside is left out.
    leaveOut(figure.legend.adjusted(0, figure.plot.top() - 30 - figure.legend.top(), 0, 0));
    ASSERT_EQ(trace->excludedAreas(),
        std::vector<QRect> { figure.legend.adjusted(0, figure.plot.top() - figure.legend.top(), 0, 0) });
    EXPECT_TRUE(trace->butClearExcluded()->isEnabled());
    read(TraceReading::Markers);
    EXPECT_EQ(trace->readingPoints().size(), figure.circles.size());
    EXPECT_EQ(pointsInside(figure.legend), 0);
    EXPECT_LE(worstMiss(trace->readingPoints(), figure.circles), 1.0);
    // Hatched over the picture, which itself stays as it was.
    const QImage shown = trace->pbPaint()->grab().toImage();
    const QPoint inLegend = figure.legend.center();
    int blue = 0;
    for (int dx = 0; dx < 8; ++dx)
        blue += shown.pixelColor(inLegend + QPoint(dx, 0)).blue() > 200
            && shown.pixelColor(inLegend + QPoint(dx, 0)).red() < 60;
    EXPECT_GT(blue, 0);

    trace->butClearExcluded()->click();
    EXPECT_TRUE(trace->excludedAreas().empty());
    EXPECT_FALSE(trace->butClearExcluded()->isEnabled());
    read(TraceReading::Markers);
    EXPECT_EQ(trace->readingPoints().size(), figure.circles.size() + 1);
}

// The choice and both limits come back after a restart in their own value;
// the old value keeps its layout.
TEST_F(TraceReadingsTest, ChoiceAndLimitsSurviveARestart)
{
    EXPECT_EQ(store.values().value(kReadingValue), ints({ 1, 0, 0 }));
    EXPECT_EQ(trace->reading(), TraceReading::Average);
    EXPECT_EQ(trace->udMaxGap()->text(), QStringLiteral("自動"));
    EXPECT_FALSE(trace->udMaxGap()->isEnabled());

    openOn(FigureKind::BlackCurves);
    trace->cbxReading()->setCurrentIndex(int(TraceReading::Follow));
    EXPECT_TRUE(trace->udMaxGap()->isEnabled());
    EXPECT_FALSE(trace->udMarkerSize()->isEnabled());
    trace->udMaxGap()->setValue(12);
    trace->udMarkerSize()->setValue(9);
    trace->close();
    EXPECT_EQ(store.values().value(kReadingValue), ints({ 3, 12, 9 }));
    EXPECT_EQ(store.values().value(QStringLiteral("Trace")).size(), 16);

    start();
    trace = static_cast<TfrmTrace*>(windows->frmTrace);
    EXPECT_EQ(trace->reading(), TraceReading::Follow);
    EXPECT_EQ(trace->udMaxGap()->value(), 12);
    EXPECT_EQ(trace->udMarkerSize()->value(), 9);

    // Out of range: pulled in, an unknown reading is the average.
    store.setValue(kReadingValue, ints({ 99, -5, 5000 }));
    start();
    trace = static_cast<TfrmTrace*>(windows->frmTrace);
    EXPECT_EQ(trace->reading(), TraceReading::Average);
    EXPECT_EQ(trace->udMaxGap()->value(), 0);
    EXPECT_EQ(trace->udMarkerSize()->value(), 1000);
}
