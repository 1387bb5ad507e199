#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <memory>

namespace Poppler {
class Document;
}

namespace cvg {

class Progress;

// PDF pages become pictures: a chosen page (or a part of it) is rendered at a
// chosen resolution, anti-aliased on white paper, into a 24-bit picture.

constexpr int kMinPdfDpi = 72;
constexpr int kMaxPdfDpi = 1200;
constexpr int kDefaultPdfDpi = 300;
// A page that takes longer than this to render is given up. Ordinary
// figures take well under a second, even at the highest resolution.
constexpr int kPdfRenderTimeLimitMs = 30000;

// True for ".pdf", compared exactly as every other extension of the program.
bool isPdfExtension(const QString& extension);

// What of a PDF becomes the picture.
struct PdfPageRequest {
    int page = 1; // 1-based
    int dpi = kDefaultPdfDpi;
    // A part of the page in points (1/72 inch) from the top-left corner of
    // the page as it is shown (its rotation applied); empty: the whole page.
    QRectF crop;
    int timeLimitMs = kPdfRenderTimeLimitMs;
};

// An opened PDF. Every failure comes back as the text to show the user;
// nothing here shows anything.
class PdfDocument {
public:
    // Opens a PDF from its bytes; null with the reason when the bytes are not
    // a PDF, are damaged, need a password or hold no page.
    static std::unique_ptr<PdfDocument> open(const QByteArray& bytes, QString& error);
    // The same for a file (larger than kMaxPictureFileBytes: refused unread).
    static std::unique_ptr<PdfDocument> openFile(const QString& path, QString& error);
    ~PdfDocument();

    int pageCount() const { return pageCount_; }
    // The page's size in points as it is shown; empty when the page cannot
    // be read. page is 1-based.
    QSizeF pageSize(int page) const;
    // The pixel size the request renders to (page or crop at the resolution),
    // or an invalid size when it is out of any reasonable range.
    QSize pixelSize(const PdfPageRequest& request) const;
    // The largest resolution from kMinPdfDpi to kMaxPdfDpi at which the
    // request's page or crop fits the program's picture limits; 0 if none.
    int largestDpi(const PdfPageRequest& request) const;
    // Empty when the request can be rendered, otherwise why not: page out of
    // range, resolution out of range, a crop outside the page or too small,
    // a picture too large (with the largest resolution that fits). Nothing
    // is rendered to find out.
    QString check(const PdfPageRequest& request) const;
    // Renders the request into out (24-bit); empty on success, otherwise the
    // reason (the checks above, a page that cannot be drawn, one that took
    // longer than the request's time limit, memory). out is untouched on
    // failure. Large pictures are rendered in bands, each one a step of
    // progress.
    QString render(const PdfPageRequest& request, QImage& out, Progress& progress) const;
    // A picture of a whole page that fits into box, for choosing a page;
    // null when the page cannot be drawn within the time limit.
    QImage renderFitting(int page, QSize box, int timeLimitMs) const;
    // The resolution at which a page fits into box.
    double fittingDpi(int page, QSize box) const;

private:
    PdfDocument(std::unique_ptr<Poppler::Document> document, int pageCount);
    // The request's area on the page in pixels at its resolution.
    bool pixelRect(
        const PdfPageRequest& request, double& left, double& top, double& width, double& height) const;

    std::unique_ptr<Poppler::Document> document_;
    int pageCount_ = 0;
};

// Reads a PDF file and renders the request into out: the route of the
// command-line tool. Empty on success, otherwise the reason.
QString LoadPdfPicture(const QString& path, const PdfPageRequest& request, QImage& out, Progress& progress);

} // namespace cvg
