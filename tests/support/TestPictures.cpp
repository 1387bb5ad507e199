#include "TestPictures.h"

#include "image/ImageSet.h"
#include "image/JpegCodec.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>

namespace cvg::test {

QImage drawGraph(int width, int height)
{
    QImage image = newPicture(width, height);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 2));
    const int left = width / 10, bottom = height - height / 10;
    p.drawLine(left, bottom, width - width / 20, bottom); // X axis
    p.drawLine(left, bottom, left, height / 20); // Y axis
    QPainterPath curve;
    for (int x = left; x < width - width / 20; ++x) {
        const double t = double(x - left) / (width - left);
        const double y = bottom - (bottom - height / 10) * (0.5 + 0.4 * std::sin(6.0 * t));
        if (x == left)
            curve.moveTo(x, y);
        else
            curve.lineTo(x, y);
    }
    p.setPen(QPen(Qt::blue, 1));
    p.drawPath(curve);
    p.end();
    return image;
}

QImage patternPicture(int width, int height)
{
    QImage image = newPicture(width, height);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            line[3 * x] = uchar(x * 7 + y);
            line[3 * x + 1] = uchar(y * 5 + (x >> 3));
            line[3 * x + 2] = uchar((x ^ y) + 11);
        }
    }
    return image;
}

qint64 differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return qint64(std::max(a.width(), b.width())) * std::max(a.height(), b.height());
    const QImage x = toPictureFormat(a), y = toPictureFormat(b);
    qint64 n = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int col = 0; col < x.width(); ++col)
            if (p[3 * col] != q[3 * col] || p[3 * col + 1] != q[3 * col + 1]
                || p[3 * col + 2] != q[3 * col + 2])
                ++n;
    }
    return n;
}

int maxChannelDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    const QImage x = toPictureFormat(a), y = toPictureFormat(b);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < 3 * x.width(); ++i)
            worst = std::max(worst, std::abs(int(p[i]) - int(q[i])));
    }
    return worst;
}

std::vector<std::pair<int, int>> extensionSegments(const QByteArray& jpeg)
{
    std::vector<std::pair<int, int>> found;
    int pos = 2;
    while (pos + 4 <= jpeg.size() && uchar(jpeg[pos + 1]) != 0xDA) {
        const int length = uchar(jpeg[pos + 2]) << 8 | uchar(jpeg[pos + 3]);
        if (uchar(jpeg[pos + 1]) == 0xEF && jpeg.mid(pos + 4, 8) == QByteArray("CVGLEAN\0", 8))
            found.emplace_back(pos, pos + 2 + length);
        pos += 2 + length;
    }
    return found;
}

QByteArray withoutExtensionSegments(const QByteArray& jpeg)
{
    QByteArray plain = jpeg;
    const auto segments = extensionSegments(jpeg);
    for (auto it = segments.rbegin(); it != segments.rend(); ++it)
        plain.remove(it->first, it->second - it->first);
    return plain;
}

} // namespace cvg::test

namespace cvg::test {

QImage jpegCopy(const QImage& picture, int quality)
{
    QByteArray bytes;
    QImage decoded;
    if (!encodeJpeg(picture, bytes, quality)
        || !decodeJpeg(reinterpret_cast<const uchar*>(bytes.constData()), size_t(bytes.size()), decoded))
        return {};
    return decoded;
}

namespace {

const QColor kTabBlue(31, 119, 180);
const QColor kTabOrange(255, 127, 14);
const QColor kTabGreen(44, 160, 44);
const QColor kGrid(176, 176, 176);

// The axes' inside in painter coordinates, and its pixels.
const QRectF kPlot(80, 40, 520, 380);

QFont figureFont(int pixels)
{
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(pixels);
    return font;
}

void drawGrid(QPainter& p)
{
    p.setPen(QPen(kGrid, 0.8));
    for (int k = 1; k < 10; ++k) {
        p.drawLine(QPointF(kPlot.left() + 52 * k + 0.3, kPlot.top()),
            QPointF(kPlot.left() + 52 * k + 0.3, kPlot.bottom()));
        p.drawLine(QPointF(kPlot.left(), kPlot.top() + 38 * k + 0.7),
            QPointF(kPlot.right(), kPlot.top() + 38 * k + 0.7));
    }
}

// The frame, tick labels and titles around the axes.
void drawAxes(QPainter& p)
{
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(kPlot.left() + 0.5, kPlot.top() + 0.5, kPlot.width() - 1, kPlot.height() - 1));
    p.setFont(figureFont(12));
    for (int k = 0; k <= 10; k += 2) {
        const double x = kPlot.left() + 52 * k;
        p.drawLine(QPointF(x + 0.5, kPlot.bottom()), QPointF(x + 0.5, kPlot.bottom() + 4));
        p.drawText(QRectF(x - 20, kPlot.bottom() + 6, 40, 16), Qt::AlignCenter, QString::number(k * 0.5));
    }
    for (int k = 0; k <= 10; k += 2) {
        const double y = kPlot.bottom() - 38 * k;
        p.drawLine(QPointF(kPlot.left() - 4, y - 0.5), QPointF(kPlot.left(), y - 0.5));
        p.drawText(QRectF(kPlot.left() - 44, y - 8, 38, 16), Qt::AlignRight | Qt::AlignVCenter,
            QString::number(k * 20));
    }
    p.drawText(QRectF(kPlot.left(), kPlot.bottom() + 24, kPlot.width(), 18), Qt::AlignCenter,
        QStringLiteral("時間 [s]"));
    p.setFont(figureFont(15));
    p.drawText(
        QRectF(kPlot.left(), 10, kPlot.width(), 24), Qt::AlignCenter, QStringLiteral("測定結果 (第 3 回)"));
    p.save();
    p.translate(18, kPlot.center().y());
    p.rotate(-90);
    p.setFont(figureFont(12));
    p.drawText(QRectF(-60, -8, 120, 16), Qt::AlignCenter, QStringLiteral("電圧 [mV]"));
    p.restore();
}

// A legend box at a place inside the axes; each entry draws its swatch in
// the 30 x 18 box it is given and is followed by its label.
struct Entry {
    std::function<void(QPainter&, QRectF)> swatch;
    QString label;
};

QRect drawLegend(QPainter& p, QPointF topLeft, const std::vector<Entry>& entries)
{
    const QRectF box(topLeft, QSizeF(110, 10 + 18 * double(entries.size())));
    p.setPen(QPen(QColor(204, 204, 204), 1));
    p.setBrush(QColor(255, 255, 255, 204));
    p.drawRoundedRect(box, 3, 3);
    p.setFont(figureFont(12));
    for (size_t i = 0; i < entries.size(); ++i) {
        const QRectF slot(box.left() + 6, box.top() + 5 + 18 * double(i), 30, 18);
        entries[i].swatch(p, slot);
        p.setPen(Qt::black);
        p.drawText(
            QRectF(slot.right() + 6, slot.top(), 60, 18), Qt::AlignLeft | Qt::AlignVCenter, entries[i].label);
    }
    return box.toAlignedRect().adjusted(-1, -1, 1, 1);
}

Entry lineEntry(const QPen& pen, const QString& label)
{
    return { [pen](QPainter& p, QRectF slot) {
                p.setPen(pen);
                p.drawLine(QPointF(slot.left(), slot.center().y()), QPointF(slot.right(), slot.center().y()));
            },
        label };
}

void drawCircle(QPainter& p, QPointF centre, QColor colour)
{
    p.setPen(QPen(colour, 1));
    p.setBrush(colour);
    p.drawEllipse(centre, 4, 4);
}

void drawSquare(QPainter& p, QPointF centre, QColor colour)
{
    p.setPen(QPen(colour, 1));
    p.setBrush(colour);
    p.drawRect(QRectF(centre.x() - 4, centre.y() - 4, 8, 8));
}

// A curve through painter coordinates, its path given in the readings'.
DrawnCurve drawCurve(QPainter& p, const std::function<double(double)>& y, const QPen& pen)
{
    QPainterPath path;
    DrawnCurve drawn { pen.color(), {} };
    for (double x = kPlot.left() + 1; x <= kPlot.right() - 1; x += 0.5) {
        if (drawn.path.empty())
            path.moveTo(x, y(x));
        else
            path.lineTo(x, y(x));
        drawn.path.emplace_back(x - 0.5, y(x) - 0.5);
    }
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    return drawn;
}

void drawCurves(QPainter& p, Figure& f, FigureKind kind)
{
    if (kind == FigureKind::ColouredCurves) {
        const QPen a(kTabBlue, 2), b(kTabOrange, 2), c(kTabGreen, 2);
        f.curves.push_back(drawCurve(
            p, [](double x) { return 230 - 120 * std::sin((x - 81) / 85); }, a));
        f.curves.push_back(drawCurve(
            p, [](double x) { return 250 + 110 * std::sin((x - 81) / 140 + 0.9); }, b));
        f.curves.push_back(drawCurve(
            p, [](double x) { return 405 - 0.6 * (x - 81); }, c));
        f.legend = drawLegend(p, { 480, 50 },
            { lineEntry(a, QStringLiteral("系列 A")), lineEntry(b, QStringLiteral("系列 B")),
                lineEntry(c, QStringLiteral("系列 C")) });
        return;
    }
    const QPen solid(Qt::black, 1.5), dashed(Qt::black, 1.5, Qt::DashLine);
    f.curves.push_back(drawCurve(
        p, [](double x) { return 240 - 100 * std::sin((x - 81) / 100); }, solid));
    f.curves.push_back(drawCurve(
        p, [](double x) { return 330 - 0.3 * (x - 81) - 70 * std::sin((x - 81) / 60); }, dashed));
    f.legend = drawLegend(p, { 95, 330 },
        { lineEntry(solid, QStringLiteral("実測値")), lineEntry(dashed, QStringLiteral("計算値")) });
}

void drawScatter(QPainter& p, Figure& f)
{
    f.circleColour = kTabBlue;
    f.squareColour = kTabOrange;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> across(kPlot.left() + 12, kPlot.right() - 12);
    std::uniform_real_distribution<double> down(kPlot.top() + 12, kPlot.bottom() - 12);
    std::uniform_real_distribution<double> turn(0, 2 * M_PI);
    const QRectF legendArea(470, 45, 130, 60);
    std::vector<QPointF> all;
    const auto free = [&](QPointF c, double apart) {
        if (legendArea.contains(c))
            return false;
        return std::none_of(all.begin(), all.end(),
            [&](QPointF o) { return std::hypot(o.x() - c.x(), o.y() - c.y()) < apart; });
    };
    // Three pairs touching (their outlines 9 px wide meet), then singles.
    while (f.circles.size() < 6) {
        const QPointF c(across(random), down(random));
        const double angle = turn(random);
        const QPointF d(c.x() + 9 * std::cos(angle), c.y() + 9 * std::sin(angle));
        if (!free(c, 24) || !free(d, 24) || !kPlot.adjusted(12, 12, -12, -12).contains(d))
            continue;
        all.push_back(c);
        all.push_back(d);
        f.circles.push_back(c);
        f.circles.push_back(d);
    }
    while (f.circles.size() < 40 || f.squares.size() < 20) {
        const QPointF c(across(random), down(random));
        if (!free(c, 16))
            continue;
        all.push_back(c);
        (f.circles.size() < 40 ? f.circles : f.squares).push_back(c);
    }
    for (const QPointF& c : f.circles)
        drawCircle(p, c, kTabBlue);
    for (const QPointF& c : f.squares)
        drawSquare(p, c, kTabOrange);
    f.legend = drawLegend(p, { 480, 50 },
        { { [](QPainter& q, QRectF s) { drawCircle(q, s.center(), kTabBlue); }, QStringLiteral("測定 A") },
            { [](QPainter& q, QRectF s) { drawSquare(q, s.center(), kTabOrange); },
                QStringLiteral("測定 B") } });
    for (QPointF& c : f.circles)
        c -= QPointF(0.5, 0.5);
    for (QPointF& c : f.squares)
        c -= QPointF(0.5, 0.5);
}

void drawLineWithMarkers(QPainter& p, Figure& f)
{
    QPolygonF samples;
    for (int i = 0; i < 100; ++i) {
        const double x = 90 + 5.2 * i;
        samples << QPointF(x, 240 - 110 * std::sin(x / 70) + 30 * std::cos(x / 23));
    }
    p.setPen(QPen(kTabGreen, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(samples);
    DrawnCurve line { kTabGreen, {} };
    for (int i = 0; i + 1 < samples.size(); ++i)
        for (int k = 0; k < 10; ++k)
            line.path.push_back(samples[i] + (samples[i + 1] - samples[i]) * (k / 10.0) - QPointF(0.5, 0.5));
    f.curves.push_back(line);
    f.circleColour = kTabGreen;
    for (int i = 0; i < 100; i += 10) {
        drawCircle(p, samples[i], kTabGreen);
        f.circles.push_back(samples[i] - QPointF(0.5, 0.5));
    }
    f.legend = drawLegend(p, { 480, 50 },
        { { [](QPainter& q, QRectF s) {
               q.setPen(QPen(kTabGreen, 2));
               q.drawLine(QPointF(s.left(), s.center().y()), QPointF(s.right(), s.center().y()));
               drawCircle(q, s.center(), kTabGreen);
           },
            QStringLiteral("応答") } });
}

void drawBars(QPainter& p, Figure& f, bool gridOnTop)
{
    const double heights[] = { 3.22, 5.71, -2.43, 7.08, 4.46, -1.37, 6.05, 2.81 };
    const double slot = 64.5, scale = 36.3, baseline = 300.4, width = 0.8 * slot;
    f.barColour = kTabBlue;
    if (!gridOnTop)
        drawGrid(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kTabBlue);
    for (int i = 0; i < 8; ++i) {
        const double centre = kPlot.left() + 3 + slot * (i + 0.5);
        const double end = baseline - heights[i] * scale;
        p.drawRect(QRectF(QPointF(centre - width / 2, std::min(end, baseline)),
            QPointF(centre + width / 2, std::max(end, baseline))));
        f.bars.emplace_back(centre - 0.5, end - 0.5);
    }
    if (gridOnTop)
        drawGrid(p);
    f.legend = drawLegend(p, { 484, 46 },
        { { [](QPainter& q, QRectF s) {
               q.setPen(Qt::NoPen);
               q.setBrush(kTabBlue);
               q.drawRect(QRectF(s.left() + 5, s.top() + 4, 20, 10));
           },
            QStringLiteral("売上高") } });
}

} // namespace

Figure drawFigure(FigureKind kind)
{
    Figure f;
    f.picture = newPicture(640, 480);
    f.plot = QRect(QPoint(81, 41), QPoint(598, 418));
    QPainter p(&f.picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (kind != FigureKind::Bars && kind != FigureKind::BarsOverGrid)
        drawGrid(p);
    switch (kind) {
    case FigureKind::ColouredCurves:
    case FigureKind::BlackCurves:
        drawCurves(p, f, kind);
        break;
    case FigureKind::Scatter:
        drawScatter(p, f);
        break;
    case FigureKind::LineWithMarkers:
        drawLineWithMarkers(p, f);
        break;
    case FigureKind::Bars:
    case FigureKind::BarsOverGrid:
        drawBars(p, f, kind == FigureKind::Bars);
        break;
    }
    drawAxes(p);
    return f;
}

double distanceToPath(const std::vector<QPointF>& path, QPointF point)
{
    double best = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        const QPointF a = path[i], d = path[i + 1] - a;
        const double length2 = QPointF::dotProduct(d, d);
        const double t
            = length2 > 0 ? std::clamp(QPointF::dotProduct(point - a, d) / length2, 0.0, 1.0) : 0.0;
        const QPointF nearest = a + d * t;
        best = std::min(best, std::hypot(point.x() - nearest.x(), point.y() - nearest.y()));
    }
    return best;
}

} // namespace cvg::test
