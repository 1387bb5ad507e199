// The zoomed main view: the mapping between view and picture pixels, the
// zoomed picture with its marks, and the view's stored values.
#include "TestPictures.h"

#include "image/ImageSet.h"
#include "platform/Progress.h"
#include "settings/SettingsRecords.h"
#include "worksheet/ZoomedView.h"

#include <gtest/gtest.h>

using namespace cvg;

namespace {

std::vector<Point> pointsOnCurve(int width, int height, int count)
{
    std::vector<Point> points;
    for (int i = 0; i < count; ++i) {
        const int x = 5 + i * (width - 10) / count;
        points.push_back({x, height / 2 + int((height / 3) * std::sin(x / 40.0))});
    }
    // Two on the picture's edges: their squares are cut off.
    points.push_back({0, height});
    points.push_back({width - 1, 1});
    return points;
}

} // namespace

TEST(ZoomedViewTest, TheMappingPicksThePixelShownAndCoversThePicture)
{
    for (const double factor : {0.1, 0.25, 0.37, 1.0, 1.5, 4.0, 7.3, 16.0}) {
        SCOPED_TRACE(factor);
        const ViewScale scale(factor);
        for (const int length : {1, 7, 300, 10000}) {
            const int view = scale.viewLength(length);
            // Every view pixel shows a picture pixel; the next would show none.
            if (view > 0)
                EXPECT_LT(scale.toPixel(view - 1), length);
            EXPECT_GE(scale.toPixel(view), length);
            if (factor >= 1.0)
                EXPECT_EQ(scale.toPixel(view - 1), length - 1);
        }
        for (int v = 0; v < 400; ++v) {
            // A view pixel shows the pixel whose area holds its centre.
            const int p = scale.toPixel(v);
            EXPECT_LE(p * factor, v + 0.5);
            EXPECT_GT((p + 1) * factor, v + 0.5);
        }
        if (factor >= 1.0)
            for (int p = 0; p < 300; ++p)
                EXPECT_EQ(scale.toPixel(scale.toView(p)), p);
    }
    EXPECT_EQ(ViewScale(100.0).factor(), ViewScale::kMaximum);
    EXPECT_EQ(ViewScale(0.0).factor(), ViewScale::kMinimum);
}

TEST(ZoomedViewTest, ViewsShowThePicturePixelsWithMarksOfOneSize)
{
    const QImage graph = test::drawGraph(320, 240);
    const std::vector<Point> points = pointsOnCurve(320, 240, 40);
    NullProgress quiet;
    for (const bool join : {false, true}) {
        // At 100 % the whole view is the marked picture, pixel for pixel.
        const std::vector<MarkLayer> layers{{points, join ? points.size() : 0, {}}};
        const QImage whole = renderZoomedView(graph, graph.rect(), ViewScale(1.0), layers, 3);
        EXPECT_EQ(test::differingPixels(whole, RedrawPointMarkers(graph, points, join, 3, quiet)), 0);
    }
    for (const double factor : {0.37, 4.0}) {
        SCOPED_TRACE(factor);
        const ViewScale scale(factor);
        const QRect area(QPoint(13, 9), QSize(200, 150));
        // Without marks every view pixel is the picture pixel mapped to it.
        const QImage plain = renderZoomedView(graph, area, scale, {}, 3);
        for (int j = 0; j < area.height(); j += 7)
            for (int i = 0; i < area.width(); i += 5) {
                const QPoint p = scale.toPixel(area.topLeft() + QPoint(i, j));
                const QRgb expected = graph.rect().contains(p) ? graph.pixel(p) : qRgb(128, 128, 128);
                ASSERT_EQ(plain.pixel(i, j), expected) << i << "," << j;
            }
        // A mark is 7 view pixels wide, centred on its pixel's centre.
        const Point point{40, 200};
        const QPoint onView = scale.toView(QPoint(point.X, 240 - point.Y));
        const QRect around(onView - QPoint(30, 20), QSize(60, 40));
        const QPoint centre = onView - around.topLeft();
        const QImage marked = renderZoomedView(graph, around, scale, {{{point}, 0, {}}}, 3);
        int green = 0;
        for (int dx = -12; dx <= 12; ++dx) {
            const QRgb c = marked.pixel(centre.x() + dx, centre.y()) & 0xFFFFFF;
            green += c == kSquareFill || c == kSquareOutline;
        }
        EXPECT_EQ(green, 7);
        EXPECT_EQ(marked.pixel(centre) & 0xFFFFFF, kSquareFill);
    }
}

TEST(ZoomedViewTest, StoredViewAndRecentFilesSurviveDamage)
{
    RecentFiles recent;
    for (int i = 0; i < 10; ++i)
        recent.add(QStringLiteral("/data/グラフ%1.cvd").arg(i));
    recent.add(QStringLiteral("/data/グラフ3.cvd")); // again: to the top, once
    recent.add(QString(600, QChar(0x3042)));      // 1800 bytes of UTF-8: not kept
    ASSERT_EQ(recent.paths.size(), RecentFiles::kCount);
    EXPECT_EQ(recent.paths.first(), QStringLiteral("/data/グラフ3.cvd"));
    EXPECT_EQ(recent.paths.count(QStringLiteral("/data/グラフ3.cvd")), 1);
    QByteArray bytes = recent.encode();
    ASSERT_EQ(bytes.size(), RecentFiles::kSize);
    EXPECT_EQ(RecentFiles::decode(bytes).paths, recent.paths);

    // An entry whose length its slot cannot hold is dropped, the rest kept.
    bytes[RecentFiles::kEntrySize] = char(0xFF);
    bytes[RecentFiles::kEntrySize + 1] = char(0xFF);
    const QStringList kept = RecentFiles::decode(bytes).paths;
    EXPECT_EQ(kept.size(), RecentFiles::kCount - 1);
    EXPECT_FALSE(kept.contains(recent.paths[1]));
    EXPECT_TRUE(RecentFiles::decode(bytes.left(100)).paths.isEmpty());

    ViewSettings view;
    view.zoomPermille = 4000;
    view.showAllPages = 1;
    const ViewSettings back = ViewSettings::decode(view.encode());
    EXPECT_EQ(back.zoomPermille, 4000);
    EXPECT_EQ(back.showAllPages, 1);
    EXPECT_EQ(ViewSettings::decode(QByteArray(7, '\x01')).zoomPermille, 1000);
}
