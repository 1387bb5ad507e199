// libFuzzer entry for the PNG, GIF, TIFF and WebP reader: any bytes fail
// cleanly or give a 24-bit picture of an allowed size.
#include "image/ImageSet.h"
#include "image/ModernPicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImageReader>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QGuiApplication* application = [] {
        // The image plugins are found through the application's library paths.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "ModernPictureFuzz";
        static char* argv[] = { name, nullptr };
        // The image plugins warn about every damaged file; millions of
        // warnings would only bury the fuzzer's own report.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return new QGuiApplication(argc, argv);
    }();
    (void)application;
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Headers that claim pictures of millions of pixels are legal and are
    // decoded in full; the fuzzer looks at the parsing, not at the memory.
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize claimed = reader.size();
        if (claimed.isValid() && qint64(claimed.width()) * claimed.height() > 4'000'000)
            return 0;
    }
    QImage out;
    if (cvg::decodeModernPicture(bytes, out)) {
        if (out.format() != cvg::kPictureFormat || !cvg::pictureSizeAllowed(out.width(), out.height()))
            std::abort();
    }
    return 0;
}
