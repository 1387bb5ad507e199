// libFuzzer entry for the PDF reader: any bytes are refused with a reason or
// open; every page of an opened document then either draws (small, within a
// short time limit) into a 24-bit picture of the size it promised, or says why
// not.
#include "image/ImageSet.h"
#include "image/PdfPicture.h"
#include "platform/Progress.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QGuiApplication* application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "PdfFuzz";
        static char* argv[] = { name, nullptr };
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return new QGuiApplication(argc, argv);
    }();
    (void)application;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const std::unique_ptr<cvg::PdfDocument> document = cvg::PdfDocument::open(bytes, error);
    if (!document) {
        if (error.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    if (!error.isEmpty() || document->pageCount() < 1)
        std::abort();
    // A few pages, each drawn at the resolution that fits a small box, as
    // the thumbnails are, then once through the full route.
    const int pages = std::min(document->pageCount(), 3);
    cvg::NullProgress quiet;
    for (int page = 1; page <= pages; ++page) {
        const QImage thumbnail = document->renderFitting(page, QSize(64, 64), 2000);
        if (!thumbnail.isNull() && (thumbnail.width() > 64 || thumbnail.height() > 64))
            std::abort();
        cvg::PdfPageRequest request;
        request.page = page;
        request.dpi = cvg::kMinPdfDpi;
        request.timeLimitMs = 2000;
        const QSize promised = document->pixelSize(request);
        if (!promised.isValid() || qint64(promised.width()) * promised.height() > 1'000'000)
            continue; // legal, but the fuzzer looks at parsing, not at memory
        QImage out;
        const QString reason = document->render(request, out, quiet);
        if (reason.isEmpty() && (out.format() != cvg::kPictureFormat || out.size() != promised))
            std::abort();
        if (!reason.isEmpty() && !out.isNull())
            std::abort(); // a failed render leaves the picture alone
    }
    return 0;
}
