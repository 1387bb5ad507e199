// PDF pages: the right page at the right size, its lines where the PDF drew
// them, crops, and a clear refusal of everything that cannot be rendered.
#include "image/PdfPicture.h"
#include "image/ImageSet.h"
#include "platform/Progress.h"

#include "FuzzSeeds.h"
#include "TestPdfs.h"
#include "TestPictures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace cvg;
using test::GraphPdfLayout;

namespace {

std::unique_ptr<PdfDocument> opened(const QByteArray& bytes)
{
    test::keepSeed("PdfFuzz", bytes);
    QString error;
    std::unique_ptr<PdfDocument> document = PdfDocument::open(bytes, error);
    EXPECT_TRUE(document) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    return document;
}

QImage rendered(const PdfDocument& document, const PdfPageRequest& request)
{
    NullProgress quiet;
    QImage out;
    const QString error = document.render(request, out, quiet);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return out;
}

int darkness(const QImage& picture, int x, int y)
{
    const uchar* p = picture.constScanLine(y) + 3 * x;
    return 765 - (p[0] + p[1] + p[2]);
}

// How near a pixel is to a colour (0 = exactly it).
int distanceTo(const QImage& picture, int x, int y, QRgb colour)
{
    const uchar* p = picture.constScanLine(y) + 3 * x;
    return std::abs(p[0] - qRed(colour)) + std::abs(p[1] - qGreen(colour)) + std::abs(p[2] - qBlue(colour));
}

// Whether a colour is found within radius pixels of (x, y).
bool colourNear(const QImage& picture, int x, int y, int radius, QRgb colour)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const int px = x + dx, py = y + dy;
            if (picture.rect().contains(px, py) && distanceTo(picture, px, py, colour) < 120)
                return true;
        }
    return false;
}

} // namespace

TEST(PdfPicture, RendersTheChosenPageWithItsLinesWhereThePdfDrewThem)
{
    const auto document = opened(test::graphPdf());
    ASSERT_TRUE(document);
    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_EQ(document->pageSize(1), QSizeF(GraphPdfLayout::kWidth, GraphPdfLayout::kHeight));
    EXPECT_EQ(document->pageSize(3), QSizeF());

    for (const int dpi : { 72, 150, 300, 611 }) {
        SCOPED_TRACE(dpi);
        const double s = dpi / 72.0;
        PdfPageRequest request;
        request.page = 2;
        request.dpi = dpi;
        const QImage page2 = rendered(*document, request);
        ASSERT_EQ(page2.format(), kPictureFormat);
        const QSize expected(int(std::nearbyint(GraphPdfLayout::kWidth * s)),
            int(std::nearbyint(GraphPdfLayout::kHeight * s)));
        EXPECT_EQ(page2.size(), expected);
        EXPECT_EQ(document->pixelSize(request), expected);

        // Each rule, whatever its width, is centred on its row within a pixel.
        const int column = int(200 * s);
        for (const auto& rule : GraphPdfLayout::kRules) {
            const double row = rule.y * s;
            const std::optional<double> centre = test::darkRowCentre(
                page2, column, int(row - rule.width * s - 3), int(row + rule.width * s + 3));
            ASSERT_TRUE(centre) << "rule at " << rule.y;
            EXPECT_NEAR(*centre, row, 1.0) << "rule at " << rule.y;
        }
        const std::optional<double> marker = test::darkColumnCentre(page2, int(150 * s),
            int((GraphPdfLayout::kMarkerX - 4) * s), int((GraphPdfLayout::kMarkerX + 4) * s));
        ASSERT_TRUE(marker);
        EXPECT_NEAR(*marker, GraphPdfLayout::kMarkerX * s, 1.0);
        // Paper is white; the red line runs through the middle of the plot.
        EXPECT_EQ(darkness(page2, 2, 2), 0);
        const double midX = (GraphPdfLayout::kAxisX + GraphPdfLayout::kAxisRight) / 2;
        const double midY = (GraphPdfLayout::kAxisY + GraphPdfLayout::kAxisTop) / 2;
        EXPECT_TRUE(colourNear(page2, int(midX * s), int(midY * s), 2, GraphPdfLayout::kPage2Colour));

        // Page 1 at the same resolution: the same size, its blue curve, none
        // of page 2's lines.
        request.page = 1;
        const QImage page1 = rendered(*document, request);
        EXPECT_EQ(page1.size(), expected);
        EXPECT_FALSE(colourNear(page1, int(midX * s), int(midY * s), 2, GraphPdfLayout::kPage2Colour));
        EXPECT_FALSE(test::darkRowCentre(page1, column, int(55 * s), int(65 * s)));
        EXPECT_TRUE(colourNear(
            page1, int(GraphPdfLayout::kAxisX * s), int(140 * s), 2, GraphPdfLayout::kPage1Colour));
        // The labels were drawn as text (an embedded font): the title's box is not empty.
        int inked = 0;
        for (int y = int(270 * s); y < int(290 * s); ++y)
            for (int x = int(70 * s); x < int(250 * s); ++x)
                inked += darkness(page1, x, y) > 300;
        EXPECT_GT(inked, int(40 * s * s)) << "title text";
    }
}

TEST(PdfPicture, CropRendersThatPartOfThePageAlone)
{
    const auto document = opened(test::graphPdf());
    ASSERT_TRUE(document);
    PdfPageRequest whole;
    whole.page = 2;
    whole.dpi = 144;
    const QImage page = rendered(*document, whole);

    struct Case {
        QRectF crop;
        QRect pixels; // at 144 dpi
    };
    const Case cases[] = {
        { QRectF(QPointF(40, 20), QPointF(240, 170)), QRect(80, 40, 400, 300) },
        { QRectF(QPointF(0, 0), QPointF(400, 300)), QRect(0, 0, 800, 600) },
        { QRectF(QPointF(299.5, 100.25), QPointF(310.75, 130)), QRect(599, 200, 23, 60) },
        { QRectF(QPointF(390, 290), QPointF(400, 300)), QRect(780, 580, 20, 20) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pixels.x());
        PdfPageRequest request = whole;
        request.crop = c.crop;
        EXPECT_EQ(document->pixelSize(request), c.pixels.size());
        const QImage part = rendered(*document, request);
        ASSERT_EQ(part.size(), c.pixels.size());
        // The same pixels as that part of the whole page (anti-aliasing may
        // differ by a step at most).
        EXPECT_LE(test::maxChannelDifference(part, page.copy(c.pixels)), 2);
    }
    // The first crop: the rule at 120 pt lies 100 pt below the crop's top.
    PdfPageRequest request = whole;
    request.crop = cases[0].crop;
    const QImage part = rendered(*document, request);
    const std::optional<double> centre = test::darkRowCentre(part, 200, 190, 210);
    ASSERT_TRUE(centre);
    EXPECT_NEAR(*centre, (120 - 20) * 2, 1.0);
}

TEST(PdfPicture, LargePicturesAreDrawnInBandsThatJoinExactly)
{
    // 1200 dpi: 6667 x 5000 pixels, more than one band.
    const auto document = opened(test::graphPdf());
    ASSERT_TRUE(document);
    struct Counting final : Progress {
        int steps = 0, last = -1, maximum = 0;
        void begin(int, int m) override { maximum = m; }
        void setPosition(int p) override { ++steps, last = p; }
        void end() override { }
    } progress;
    PdfPageRequest request;
    request.page = 2;
    request.dpi = 1200;
    QImage big;
    ASSERT_EQ(document->render(request, big, progress), QString());
    ASSERT_EQ(big.size(), QSize(6667, 5000));
    EXPECT_GT(progress.maximum, 1);
    EXPECT_EQ(progress.last, progress.maximum);
    // Wherever the bands meet, the rows are those of drawings of strips of
    // the page alone (each strip in one piece).
    constexpr int kStrip = 700;
    for (int top = 0; top < 5000; top += kStrip) {
        PdfPageRequest strip = request;
        const int bottom = std::min(top + kStrip, 5000);
        strip.crop
            = QRectF(QPointF(0, top * 72.0 / 1200), QPointF(GraphPdfLayout::kWidth, bottom * 72.0 / 1200));
        const QImage alone = rendered(*document, strip);
        ASSERT_EQ(alone.size(), QSize(6667, bottom - top));
        EXPECT_LE(test::maxChannelDifference(alone, big.copy(0, top, alone.width(), alone.height())), 2)
            << "rows from " << top;
    }
}

TEST(PdfPicture, RefusesWhatItCannotRenderWithAClearReason)
{
    QByteArray truncated = test::graphPdf();
    truncated.truncate(40);
    QByteArray scrambled = test::graphPdf();
    for (qsizetype i = 20; i < scrambled.size(); i += 3)
        scrambled[i] = char(scrambled[i] ^ 0x5A);
    const QByteArray bitmap = QByteArray("BM") + QByteArray(200, '\0');

    struct OpenCase {
        const char* what;
        QByteArray bytes;
        QString error;
    };
    const QString damaged = QStringLiteral("PDFファイルが壊れているため読み込めません。");
    const OpenCase openCases[] = {
        { "bitmap", bitmap, QStringLiteral("このファイルはPDFではありません。") },
        { "empty file", QByteArray(), QStringLiteral("このファイルはPDFではありません。") },
        { "locked", test::lockedPdf(),
            QStringLiteral("このPDFはパスワードで保護されているため読み込めません。") },
        { "no page", test::noPagePdf(), QStringLiteral("このPDFにはページがありません。") },
        { "header only", truncated, damaged },
        { "scrambled", scrambled, damaged },
    };
    for (const OpenCase& c : openCases) {
        SCOPED_TRACE(c.what);
        test::keepSeed("PdfFuzz", c.bytes);
        QString error;
        EXPECT_FALSE(PdfDocument::open(c.bytes, error));
        EXPECT_EQ(error, c.error);
    }

    const auto graph = opened(test::graphPdf());
    const auto wide = opened(test::blankPagePdf(QSizeF(7200, 3600))); // 100 x 50 inches
    const auto vast = opened(test::blankPagePdf(QSizeF(1e6, 1e6)));
    const auto heavy = opened(test::heavyPdf(5000));
    ASSERT_TRUE(graph && wide && vast && heavy);
    struct RenderCase {
        const char* what;
        const PdfDocument* document;
        PdfPageRequest request;
        QString error;
    };
    auto request = [](int page, int dpi, QRectF crop = {}, int limit = kPdfRenderTimeLimitMs) {
        PdfPageRequest r;
        r.page = page;
        r.dpi = dpi;
        r.crop = crop;
        r.timeLimitMs = limit;
        return r;
    };
    const RenderCase renderCases[] = {
        { "page 0", graph.get(), request(0, 300),
            QStringLiteral("ページ 0 はありません。このPDFのページは 1 から 2 までです。") },
        { "page 3", graph.get(), request(3, 300),
            QStringLiteral("ページ 3 はありません。このPDFのページは 1 から 2 までです。") },
        { "71 dpi", graph.get(), request(1, 71),
            QStringLiteral("解像度は 72 から 1200 dpi の間で指定してください。") },
        { "1201 dpi", graph.get(), request(1, 1201),
            QStringLiteral("解像度は 72 から 1200 dpi の間で指定してください。") },
        { "crop outside", graph.get(), request(1, 300, QRectF(QPointF(100, 100), QPointF(401, 200))),
            QStringLiteral("読み込む範囲がページの外にはみ出しています。\r\nこのページは 400.0 x 300.0 "
                           "ポイントです。") },
        { "crop above", graph.get(), request(1, 300, QRectF(QPointF(10, -5), QPointF(20, 10))),
            QStringLiteral("読み込む範囲がページの外にはみ出しています。\r\nこのページは 400.0 x 300.0 "
                           "ポイントです。") },
        { "crop backwards", graph.get(), request(1, 300, QRectF(QPointF(100, 100), QPointF(50, 200))),
            QStringLiteral("読み込む範囲の幅と高さは正の値で指定してください。") },
        { "crop below a pixel", graph.get(), request(1, 72, QRectF(QPointF(10, 10), QPointF(10.2, 20))),
            QStringLiteral("読み込む範囲が小さすぎます。") },
        { "crop not a number", graph.get(),
            request(1, 72, QRectF(QPointF(10, 10), QPointF(std::nan(""), 20))),
            QStringLiteral("読み込む範囲の指定が正しくありません。") },
        { "too large", wide.get(), request(1, 300),
            QStringLiteral("30000 x 15000 ピクセルは大きすぎて読み込めません。\r\nこのページは 200 dpi "
                           "までの解像度で読み込めます。") },
        { "crop too large", wide.get(), request(1, 1200, QRectF(0, 0, 3600, 3600)),
            QStringLiteral("60000 x 60000 ピクセルは大きすぎて読み込めません。\r\nこの範囲は 282 dpi "
                           "までの解像度で読み込めます。") },
        { "too large at 72 dpi", vast.get(), request(1, 72),
            QStringLiteral("このページは最も低い解像度 (72 dpi) "
                           "でも大きすぎて読み込めません。\r\n読み込む範囲を小さくしてください。") },
        { "too slow", heavy.get(), request(1, 300, {}, 1),
            QStringLiteral("ページの描画に時間がかかりすぎるため中止しました。\r\n解像度を下げるか、読み込む"
                           "範囲を指定してください。") },
    };
    for (const RenderCase& c : renderCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.document->check(c.request), c.request.timeLimitMs == 1 ? QString() : c.error);
        const QImage before = test::patternPicture(3, 2);
        QImage out = before;
        NullProgress quiet;
        EXPECT_EQ(c.document->render(c.request, out, quiet), c.error);
        EXPECT_EQ(test::differingPixels(out, before), 0) << "the picture is left as it was";
    }
    // The largest resolution named is the largest that fits.
    EXPECT_EQ(wide->largestDpi(request(1, 300)), 200);
    EXPECT_EQ(vast->largestDpi(request(1, 300)), 0);
    EXPECT_EQ(wide->largestDpi(request(1, 300, QRectF(0, 0, 720, 360))), 1200);
    // The same heavy page draws in full without the short limit.
    NullProgress quiet;
    QImage out;
    EXPECT_EQ(heavy->render(request(1, 72), out, quiet), QString());
    EXPECT_EQ(out.size(), QSize(500, 500));
}

TEST(PdfPicture, CropBoxesAndRotatedPagesAreShownAsAViewerShowsThem)
{
    // A thick horizontal line 150 pt above the media box's bottom edge and a
    // vertical one 150 pt right of its left edge; only the crop box is
    // shown, turned by the page's rotation.
    const QByteArray content = "0 0 0 RG 4 w 0 150 m 300 150 l S 150 0 m 150 300 l S";
    auto page = [&](const QByteArray& boxes) {
        return test::assemblePdf({ "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] " + boxes + " /Contents 4 0 R >>",
            "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream" });
    };
    struct Case {
        const char* what;
        QByteArray boxes;
        QSize size; // at 72 dpi
        int lineRow, lineColumn; // where the two lines cross
    };
    const Case cases[] = {
        { "whole", "", QSize(300, 300), 150, 150 },
        { "crop box", "/CropBox [100 50 300 270]", QSize(200, 220), 120, 50 },
        { "turned a quarter", "/CropBox [100 50 300 270] /Rotate 90", QSize(220, 200), 50, 100 },
        { "turned half", "/CropBox [100 50 300 270] /Rotate 180", QSize(200, 220), 100, 150 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto document = opened(page(c.boxes));
        ASSERT_TRUE(document);
        EXPECT_EQ(document->pageSize(1), QSizeF(c.size));
        PdfPageRequest request;
        request.dpi = 72;
        const QImage picture = rendered(*document, request);
        ASSERT_EQ(picture.size(), c.size);
        const int x = c.lineColumn < 20 ? c.lineColumn + 25 : c.lineColumn - 15;
        EXPECT_NEAR(test::darkRowCentre(picture, x, 0, c.size.height() - 1).value_or(-1), c.lineRow, 1.0);
        const int y = c.lineRow < 20 ? c.lineRow + 25 : c.lineRow - 15;
        EXPECT_NEAR(
            test::darkColumnCentre(picture, y, 0, c.size.width() - 1).value_or(-1), c.lineColumn, 1.0);
        // A crop is taken from the page as shown: a square around the
        // crossing has it in its middle.
        request.crop = QRectF(c.lineColumn - 20, c.lineRow - 20, 40, 40);
        const QImage square = rendered(*document, request);
        ASSERT_EQ(square.size(), QSize(40, 40));
        EXPECT_NEAR(test::darkRowCentre(square, 5, 0, 39).value_or(-1), 20, 1.0);
        EXPECT_NEAR(test::darkColumnCentre(square, 5, 0, 39).value_or(-1), 20, 1.0);
    }
}

TEST(PdfPicture, FilesAndThumbnails)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("図.pdf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(test::graphPdf());
    file.close();

    NullProgress quiet;
    PdfPageRequest request;
    request.page = 2;
    request.dpi = 72;
    QImage out;
    EXPECT_EQ(LoadPdfPicture(path, request, out, quiet), QString());
    EXPECT_EQ(out.size(), QSize(400, 300));
    const QString missing = dir.filePath(QStringLiteral("none.pdf"));
    EXPECT_TRUE(LoadPdfPicture(missing, request, out, quiet)
                    .startsWith(QStringLiteral("ファイル \"%1\" を開けません。").arg(missing)));

    EXPECT_TRUE(isPdfExtension(QStringLiteral(".pdf")));
    for (const char* other : { ".PDF", ".Pdf", "pdf", ".pdfx", "" })
        EXPECT_FALSE(isPdfExtension(QString::fromLatin1(other))) << other;

    // A thumbnail fits its box and keeps the page's proportions.
    QString error;
    const auto document = PdfDocument::openFile(path, error);
    ASSERT_TRUE(document);
    const QImage thumbnail = document->renderFitting(1, QSize(120, 120), 5000);
    EXPECT_EQ(thumbnail.size(), QSize(120, 90));
    EXPECT_TRUE(document->renderFitting(3, QSize(120, 120), 5000).isNull());
}
