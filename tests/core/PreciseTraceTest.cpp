// The precise reading on pictures drawn as plotting programs draw them:
// anti-aliased lines and curves, text, grid lines, JPEG copies. Positions are
// judged against the geometry that was drawn.
#include "image/JpegCodec.h"
#include "trace/PreciseTrace.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace cvg;

namespace {

// A painter's pixel (c, r) covers [c, c + 1) x [r, r + 1); the readings put
// its centre at (c, r). So the drawn y at column c is y(c + 0.5) - 0.5.
using Curve = std::function<double(double)>;

QImage white(int width, int height, QColor paper = Qt::white)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(paper);
    return image;
}

void drawCurve(QImage& image, const Curve& y, double from, double to, QColor ink, double width)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(from, y(from));
    for (double x = from + 0.5; x <= to; x += 0.5)
        path.lineTo(x, y(x));
    p.setPen(QPen(ink, width, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(path);
}

QImage jpegCopy(const QImage& image, int quality)
{
    QByteArray bytes;
    EXPECT_TRUE(encodeJpeg(image, bytes, quality));
    QImage decoded;
    EXPECT_TRUE(decodeJpeg(reinterpret_cast<const uchar*>(bytes.constData()), size_t(bytes.size()), decoded));
    return decoded;
}

struct Error {
    double rms = 0;
    double worst = 0;
    int points = 0;
};

template <typename Found, typename X, typename Row>
Error errorOf(const Found& found, const Curve& y, X x, Row row)
{
    Error e;
    double sum = 0;
    for (const auto& p : found) {
        const double d = row(p) - (y(x(p) + 0.5) - 0.5);
        sum += d * d;
        e.worst = std::max(e.worst, std::abs(d));
        ++e.points;
    }
    e.rms = e.points ? std::sqrt(sum / e.points) : 1e9;
    return e;
}

Error preciseError(const TTraceLine& t, const QImage& image, const Curve& y, int left, int right)
{
    return errorOf(TracePrecise(t, image, left, 0, right, image.height() - 1), y,
        [](const PrecisePoint& p) { return p.x; }, [](const PrecisePoint& p) { return p.row; });
}

Error averageError(TTraceLine& t, const QImage& image, const Curve& y, int left, int right)
{
    return errorOf(t.TraceAverage(image, left, 0, right, image.height() - 1), y,
        [](const TXYData& p) { return double(p.X); }, [](const TXYData& p) { return double(p.Y); });
}

TTraceLine brightnessTrace()
{
    TTraceLine t;
    t.BoundColor = 125;
    t.ScanInterval = 1;
    return t;
}

TTraceLine colourTrace(QRgb ink, int tolerance)
{
    TTraceLine t;
    t.ScanInterval = 1;
    t.Mode = TraceMode::Colour;
    t.LineColour = ink;
    t.Tolerance = tolerance;
    return t;
}

} // namespace

TEST(PreciseTrace, AntiAliasedLinesOfEveryWidthAndSlopeToATenthOfAPixel)
{
    for (const double width : { 1.0, 1.5, 2.0, 3.0 })
        for (const double degrees : { 0.0, 4.0, 15.0, 30.0, 45.0, 60.0 }) {
            const double slope = std::tan(degrees * M_PI / 180);
            const Curve y = [slope](double x) { return 330.3 - (x - 20) * slope; };
            const double end = std::min(380.0, 20 + 300 / std::max(slope, 1e-9));
            QImage image = white(400, 400);
            {
                QPainter p(&image);
                p.setRenderHint(QPainter::Antialiasing);
                p.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap));
                p.drawLine(QPointF(20, y(20)), QPointF(end, y(end)));
            }
            const int left = 25, right = int(end) - 5;
            TTraceLine t = brightnessTrace();
            t.BoundColor = 160;
            for (const bool jpeg : { false, true }) {
                const QImage picture = jpeg ? jpegCopy(image, 75) : image;
                const Error precise = preciseError(t, picture, y, left, right);
                const Error average = averageError(t, picture, y, left, right);
                SCOPED_TRACE(testing::Message() << "width " << width << " slope " << degrees << " jpeg " << jpeg);
                EXPECT_EQ(precise.points, right - left + 1);
                EXPECT_LE(precise.rms, jpeg ? 0.25 : 0.1);
                // Whole rows cannot do better than about 0.29 px on a slope.
                if (degrees > 0) {
                    EXPECT_GT(average.rms, 2 * precise.rms);
                }
            }
        }
}

TEST(PreciseTrace, CurveThroughTextGridAndLegendOnTintedPaper)
{
    // Cream paper, light grid, a dark red curve crossing black text: by
    // colour, the text and the grid stay out; by brightness, the paper is the
    // background and the light grid is too faint to be taken for the line.
    const Curve y = [](double x) { return 150 + 60 * std::sin(x / 55.0); };
    QImage image = white(500, 300, QColor(0xF5, 0xF0, 0xDC));
    {
        QPainter p(&image);
        p.setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 1));
        for (int g = 0; g < 500; g += 50)
            p.drawLine(g, 0, g, 299);
        for (int g = 25; g < 300; g += 50)
            p.drawLine(0, g, 499, g);
        p.setRenderHint(QPainter::TextAntialiasing);
        QFont font(QStringLiteral("IPAPGothic"));
        font.setPixelSize(22);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QPointF(150, 160), QStringLiteral("温度 (°C) 曲線 B"));
    }
    drawCurve(image, y, 0, 500, QColor(0xA0, 0x10, 0x10), 2);
    image = jpegCopy(image, 95);

    const Error byColour = preciseError(colourTrace(qRgb(0xA0, 0x10, 0x10), 60), image, y, 10, 490);
    EXPECT_EQ(byColour.points, 481);
    EXPECT_LE(byColour.rms, 0.1);
    // Where the curve runs over a glyph, its edges blend with black rather
    // than with the paper and are left out: a few tenths there, never the
    // several pixels a glyph would pull.
    EXPECT_LE(byColour.worst, 0.8);

    // Away from the text, brightness alone does as well.
    const Error byBrightness = preciseError(brightnessTrace(), image, y, 10, 140);
    EXPECT_EQ(byBrightness.points, 131);
    EXPECT_LE(byBrightness.rms, 0.1);
}

TEST(PreciseTrace, ColourModeKeepsGreyTextOutOfABlueCurve)
{
    // Grey text right above a blue curve: its anti-aliased pixels are as far
    // from the blue as the curve's own edges, so a tolerance around one
    // colour either loses the edges or takes the text. Blends of grey with
    // the paper lie off the line from paper to blue at every share.
    const Curve y = [](double x) { return 100 + 30 * std::sin(x / 40.0); };
    for (const int grey : { 0x30, 0x80 }) {
        QImage image = white(400, 200);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::TextAntialiasing);
            QFont font(QStringLiteral("IPAPGothic"));
            font.setPixelSize(18);
            p.setFont(font);
            p.setPen(QColor(grey, grey, grey));
            for (int x = 20; x < 380; x += 90)
                p.drawText(QPointF(x, y(x) - 6), QStringLiteral("測定値 A-12"));
        }
        const QRgb blue = qRgb(0x1F, 0x77, 0xB4);
        drawCurve(image, y, 0, 400, QColor(blue), 2);
        for (const int tolerance : { 30, 60, 90 }) {
            SCOPED_TRACE(testing::Message() << "grey " << grey << " tolerance " << tolerance);
            TTraceLine t = colourTrace(blue, tolerance);
            const Error precise = preciseError(t, image, y, 10, 390);
            EXPECT_EQ(precise.points, 381);
            EXPECT_LE(precise.rms, 0.1);
            EXPECT_LE(precise.worst, 0.6);
            const Error average = averageError(t, image, y, 10, 390);
            EXPECT_GT(average.rms, 0.3);
        }
    }
}

TEST(PreciseTrace, ColumnsRectangleAndBackgroundFollowTheEngine)
{
    // A dark line over columns 0..59 at rows 20 and 21, each half covered
    // by ink: the centre lies between them.
    QImage image = white(60, 40, QColor(40, 40, 60));
    for (int x = 0; x < 60; ++x) {
        uchar* a = image.scanLine(20) + 3 * x;
        uchar* b = image.scanLine(21) + 3 * x;
        a[0] = b[0] = 230;
        a[1] = b[1] = 230;
        a[2] = b[2] = 200;
    }
    EXPECT_EQ(MostCommonColour(image, 0, 0, 59, 39), qRgb(40, 40, 60));
    EXPECT_EQ(MostCommonColour(image, 0, 20, 59, 21), qRgb(230, 230, 200));

    // A light line on dark paper by colour: every tenth column of 15..44,
    // counted from the picture's edge; the rectangle is clipped.
    TTraceLine t = colourTrace(qRgb(230, 230, 200), 30);
    t.ScanInterval = 10;
    const std::vector<PrecisePoint> found = TracePrecise(t, image, 15, -5, 44, 500);
    ASSERT_EQ(found.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(found[size_t(i)], (PrecisePoint { 20.0 + 10 * i, 20.5 }));

    // Nothing darker than the dark paper: no point; nor in an empty rectangle.
    t = brightnessTrace();
    EXPECT_TRUE(TracePrecise(t, image, 0, 0, 59, 39).empty());
    EXPECT_TRUE(TracePrecise(t, image, 30, 10, 29, 20).empty());
    EXPECT_TRUE(TracePrecise(colourTrace(qRgb(40, 40, 60), 441), image, 0, 0, 59, 39).empty());

    // A faint grey mark lighter than the threshold is no line; beside a dark
    // pixel it counts in part.
    QImage page = white(3, 10);
    auto grey = [&](int x, int row, uchar v) { std::memset(page.scanLine(row) + 3 * x, v, 3); };
    grey(0, 4, 200);
    grey(1, 4, 0);
    grey(1, 5, 127);
    t.BoundColor = 125;
    const std::vector<PrecisePoint> one = TracePrecise(t, page, 0, 0, 2, 9);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].x, 1.0);
    // Darkness below the paper (254): 254 at row 4, 254 - 125 at row 5.
    ASSERT_EQ(TTraceLine::Brightness(127, 127, 127), 125);
    EXPECT_DOUBLE_EQ(one[0].row, (254.0 * 4 + 129.0 * 5) / (254 + 129));

    // Upward y on a picture 10 rows high, whole pixels rounded half to even.
    const std::vector<Point> points = ToWorksheetPoints({ { 1, 4.25 }, { 2, 3.5 }, { 3, 4.5 } }, 10);
    EXPECT_EQ(points[0], Point::atPrecise(1, 5.75));
    EXPECT_EQ(points[0].Y, 6);
    EXPECT_EQ(points[1].Y, 6);
    EXPECT_EQ(points[1].fracY, kHalfFraction);
    EXPECT_EQ(points[2].Y, 6);
    EXPECT_EQ(points[2].fracY, -kHalfFraction);
}
