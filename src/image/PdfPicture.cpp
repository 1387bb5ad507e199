#include "image/PdfPicture.h"

#include "image/ImageSet.h"
#include "image/PictureFiles.h"
#include "platform/FileIO.h"
#include "platform/Progress.h"

#include <QElapsedTimer>
#include <QFile>
#include <QVariant>
#include <poppler-qt6.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>

namespace cvg {

namespace {

// A PDF header may follow up to this many bytes of anything else.
constexpr qint64 kHeaderSearchBytes = 1024;
// Pixels rendered at a time: a large picture is drawn in bands of rows so
// that only one band is ever held in the renderer's own 32-bit format.
constexpr qint64 kBandPixels = qint64(16) << 20;

QString notPdfText()
{
    return QStringLiteral("このファイルはPDFではありません。");
}
QString damagedText()
{
    return QStringLiteral("PDFファイルが壊れているため読み込めません。");
}
QString timeOutText()
{
    return QStringLiteral("ページの描画に時間がかかりすぎるため中止しました。\r\n"
                          "解像度を下げるか、読み込む範囲を指定してください。");
}
QString memoryText()
{
    return QStringLiteral("メモリが足りないためページを描画できません。");
}

// The renderer's messages about damaged files would fill the terminal; the
// user gets one message of ours instead.
void quietRenderer()
{
    static std::once_flag once;
    std::call_once(once, [] { Poppler::setDebugErrorFunction([](const QString&, const QVariant&) {}, {}); });
}

// Asked by the renderer between drawing operations: true once the time is up.
struct Deadline {
    QElapsedTimer clock;
    qint64 limitMs = 0;
    bool passed = false;
};

bool deadlinePassed(const QVariant& payload)
{
    auto* deadline = reinterpret_cast<Deadline*>(payload.value<quintptr>());
    if (!deadline->passed && deadline->clock.elapsed() >= deadline->limitMs)
        deadline->passed = true;
    return deadline->passed;
}

// Renders a part of a page in pixels at dpi; null on failure or time out.
QImage renderPart(const Poppler::Page& page, double dpi, int x, int y, int w, int h, Deadline& deadline)
{
    return page.renderToImage(dpi, dpi, x, y, w, h, Poppler::Page::Rotate0, nullptr, nullptr, deadlinePassed,
        QVariant::fromValue(quintptr(&deadline)));
}

// Copies a rendered 32-bit band into rows of the 24-bit picture.
void copyBand(const QImage& band, QImage& out, int firstRow)
{
    const QImage rgb = band.format() == QImage::Format_RGB32 || band.format() == QImage::Format_ARGB32
        ? band
        : band.convertToFormat(QImage::Format_RGB32);
    const int width = out.width();
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* o = out.scanLine(firstRow + y);
        for (int x = 0; x < width; ++x, o += 3) {
            o[0] = uchar(qRed(in[x]));
            o[1] = uchar(qGreen(in[x]));
            o[2] = uchar(qBlue(in[x]));
        }
    }
}

bool hasPdfHeader(const QByteArray& bytes)
{
    return bytes.left(kHeaderSearchBytes).contains("%PDF-");
}

} // namespace

bool isPdfExtension(const QString& extension)
{
    return extension == QLatin1String(".pdf");
}

PdfDocument::PdfDocument(std::unique_ptr<Poppler::Document> document, int pageCount)
    : document_(std::move(document))
    , pageCount_(pageCount)
{ }

PdfDocument::~PdfDocument() = default;

std::unique_ptr<PdfDocument> PdfDocument::open(const QByteArray& bytes, QString& error)
{
    quietRenderer();
    if (!hasPdfHeader(bytes)) {
        error = notPdfText();
        return nullptr;
    }
    std::unique_ptr<Poppler::Document> document;
    try {
        document = Poppler::Document::loadFromData(bytes);
    } catch (const std::bad_alloc&) {
        error = memoryText();
        return nullptr;
    }
    if (!document) {
        error = damagedText();
        return nullptr;
    }
    if (document->isLocked()) {
        error = QStringLiteral("このPDFはパスワードで保護されているため読み込めません。");
        return nullptr;
    }
    const int pages = document->numPages();
    if (pages <= 0) {
        error = QStringLiteral("このPDFにはページがありません。");
        return nullptr;
    }
    document->setRenderBackend(Poppler::Document::SplashBackend);
    document->setPaperColor(Qt::white);
    // Thin lines keep their shape: a hairline stays a visible line at any
    // resolution instead of fading to a faint grey.
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setRenderHint(Poppler::Document::ThinLineShape);
    return std::unique_ptr<PdfDocument>(new PdfDocument(std::move(document), pages));
}

std::unique_ptr<PdfDocument> PdfDocument::openFile(const QString& path, QString& error)
{
    QString reason;
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxPictureFileBytes, &reason);
    if (!bytes) {
        error = cannotOpenFileText(path, reason);
        return nullptr;
    }
    return open(*bytes, error);
}

QSizeF PdfDocument::pageSize(int page) const
{
    if (page < 1 || page > pageCount_)
        return {};
    const std::unique_ptr<Poppler::Page> p = document_->page(page - 1);
    if (!p)
        return {};
    const QSizeF size = p->pageSizeF();
    if (!std::isfinite(size.width()) || !std::isfinite(size.height()) || size.width() <= 0
        || size.height() <= 0)
        return {};
    return size;
}

bool PdfDocument::pixelRect(
    const PdfPageRequest& request, double& left, double& top, double& width, double& height) const
{
    const QSizeF size = pageSize(request.page);
    if (size.isEmpty())
        return false;
    const double scale = request.dpi / 72.0;
    if (request.crop.isEmpty()) {
        left = top = 0;
        width = std::nearbyint(size.width() * scale);
        height = std::nearbyint(size.height() * scale);
        return true;
    }
    // Both edges are rounded, so that crops that meet on the page meet in
    // the pictures too.
    left = std::nearbyint(request.crop.left() * scale);
    top = std::nearbyint(request.crop.top() * scale);
    width = std::nearbyint(request.crop.right() * scale) - left;
    height = std::nearbyint(request.crop.bottom() * scale) - top;
    return true;
}

QSize PdfDocument::pixelSize(const PdfPageRequest& request) const
{
    double left = 0, top = 0, width = 0, height = 0;
    if (!pixelRect(request, left, top, width, height))
        return {};
    // Anything wider than any picture may be is reported as that, never
    // turned into an overflowing int.
    const double cap = double(kMaxPictureSide) * 2;
    return QSize(int(std::clamp(width, -1.0, cap)), int(std::clamp(height, -1.0, cap)));
}

int PdfDocument::largestDpi(const PdfPageRequest& request) const
{
    // The pixel size grows with the resolution, so the largest one that
    // fits is found by halving the range.
    auto fits = [&](int dpi) {
        PdfPageRequest r = request;
        r.dpi = dpi;
        const QSize size = pixelSize(r);
        return size.isValid() && pictureSizeAllowed(size.width(), size.height());
    };
    if (!fits(kMinPdfDpi))
        return 0;
    int low = kMinPdfDpi, high = kMaxPdfDpi;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (fits(middle))
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

QString PdfDocument::check(const PdfPageRequest& request) const
{
    if (request.page < 1 || request.page > pageCount_)
        return QStringLiteral("ページ %1 はありません。このPDFのページは 1 から %2 までです。")
            .arg(request.page)
            .arg(pageCount_);
    if (request.dpi < kMinPdfDpi || request.dpi > kMaxPdfDpi)
        return QStringLiteral("解像度は %1 から %2 dpi の間で指定してください。")
            .arg(kMinPdfDpi)
            .arg(kMaxPdfDpi);
    const QSizeF page = pageSize(request.page);
    if (page.isEmpty())
        return QStringLiteral("ページ %1 を読み込めません。PDFファイルが壊れています。").arg(request.page);
    const QRectF& crop = request.crop;
    for (const double edge : { crop.left(), crop.top(), crop.right(), crop.bottom() })
        if (!std::isfinite(edge))
            return QStringLiteral("読み込む範囲の指定が正しくありません。");
    const bool cropped = !crop.isEmpty();
    if (cropped) {
        // A crop dragged to the very edge may be a rounding step over it.
        constexpr double kSlack = 1e-6;
        if (crop.left() < -kSlack || crop.top() < -kSlack || crop.right() > page.width() + kSlack
            || crop.bottom() > page.height() + kSlack)
            return QStringLiteral(
                "読み込む範囲がページの外にはみ出しています。\r\nこのページは %1 x %2 ポイントです。")
                .arg(page.width(), 0, 'f', 1)
                .arg(page.height(), 0, 'f', 1);
    } else if (crop.width() != 0 || crop.height() != 0) {
        return QStringLiteral("読み込む範囲の幅と高さは正の値で指定してください。");
    }
    const QSize size = pixelSize(request);
    if (size.width() < 1 || size.height() < 1)
        return QStringLiteral("読み込む範囲が小さすぎます。");
    if (!pictureSizeAllowed(size.width(), size.height())) {
        const QString what = cropped ? QStringLiteral("範囲") : QStringLiteral("ページ");
        const int largest = largestDpi(request);
        if (largest == 0)
            return QStringLiteral("この%1は最も低い解像度 (%2 dpi) でも大きすぎて読み込めません。\r\n"
                                  "読み込む範囲を小さくしてください。")
                .arg(what)
                .arg(kMinPdfDpi);
        return QStringLiteral(
            "%1 x %2 ピクセルは大きすぎて読み込めません。\r\nこの%3は %4 dpi までの解像度で読み込めます。")
            .arg(size.width())
            .arg(size.height())
            .arg(what)
            .arg(largest);
    }
    return {};
}

QString PdfDocument::render(const PdfPageRequest& request, QImage& out, Progress& progress) const
{
    const QString refused = check(request);
    if (!refused.isEmpty())
        return refused;
    double left = 0, top = 0, width = 0, height = 0;
    pixelRect(request, left, top, width, height);
    const std::unique_ptr<Poppler::Page> page = document_->page(request.page - 1);
    if (!page)
        return damagedText();

    const int w = int(width), h = int(height);
    const int bandRows = int(std::clamp<qint64>(kBandPixels / w, 1, h));
    const int bands = (h + bandRows - 1) / bandRows;
    Deadline deadline;
    deadline.limitMs = request.timeLimitMs;
    deadline.clock.start();
    try {
        QImage picture(w, h, kPictureFormat);
        if (picture.isNull())
            return memoryText();
        ProgressScope scope(progress, 0, bands);
        for (int band = 0; band < bands; ++band) {
            const int y = band * bandRows;
            const int rows = std::min(bandRows, h - y);
            const QImage part = renderPart(*page, request.dpi, int(left), int(top) + y, w, rows, deadline);
            if (deadline.passed)
                return timeOutText();
            if (part.isNull() || part.width() != w || part.height() != rows)
                return QStringLiteral("ページ %1 を描画できません。").arg(request.page);
            copyBand(part, picture, y);
            scope.setPosition(band + 1);
        }
        out = picture;
        return {};
    } catch (const std::bad_alloc&) {
        return memoryText();
    }
}

double PdfDocument::fittingDpi(int page, QSize box) const
{
    const QSizeF size = pageSize(page);
    if (size.isEmpty() || box.isEmpty())
        return 0;
    return std::min(box.width() * 72.0 / size.width(), box.height() * 72.0 / size.height());
}

QImage PdfDocument::renderFitting(int page, QSize box, int timeLimitMs) const
{
    const double dpi = fittingDpi(page, box);
    const QSizeF size = pageSize(page);
    const std::unique_ptr<Poppler::Page> p
        = page >= 1 && page <= pageCount_ ? document_->page(page - 1) : nullptr;
    if (dpi <= 0 || !p)
        return {};
    const int w = std::clamp(int(std::nearbyint(size.width() * dpi / 72)), 1, box.width());
    const int h = std::clamp(int(std::nearbyint(size.height() * dpi / 72)), 1, box.height());
    Deadline deadline;
    deadline.limitMs = timeLimitMs;
    deadline.clock.start();
    try {
        QImage picture = renderPart(*p, dpi, 0, 0, w, h, deadline);
        if (deadline.passed || picture.isNull())
            return {};
        return picture;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

QString LoadPdfPicture(const QString& path, const PdfPageRequest& request, QImage& out, Progress& progress)
{
    QString error;
    const std::unique_ptr<PdfDocument> document = PdfDocument::openFile(path, error);
    if (!document)
        return error;
    return document->render(request, out, progress);
}

} // namespace cvg
