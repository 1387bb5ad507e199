// libFuzzer target for the metafile player. The first byte chooses what the
// rest is: a whole file, or the records behind a valid enhanced or
// placeable header (so that the fuzzer reaches the record handlers at once
// instead of first having to find a header with a matching checksum).
#include "image/MetafilePlayer.h"
#include "platform/ByteIO.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QGuiApplication* application = nullptr;

void ensureApplication()
{
    if (application)
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "MetafileFuzz";
    static char* argv[] = { name, nullptr };
    application = new QGuiApplication(argc, argv);
    // The font database lives as long as the application; ending it at exit
    // keeps the leak checker's report to what the player itself leaves.
    std::atexit([] {
        QFontDatabase::removeAllApplicationFonts(); // also empties the font cache
        delete application;
        application = nullptr;
    });
}

// A small picture keeps every run fast: 1 to 256 pixels a side.
QByteArray enhancedHeader(uint8_t w, uint8_t h)
{
    QByteArray b;
    cvg::putI32(b, 1);
    cvg::putI32(b, 88);
    for (int i = 0; i < 4; ++i)
        cvg::putI32(b, 0);
    cvg::putI32(b, 0);
    cvg::putI32(b, 0);
    cvg::putI32(b, (w + 1) * 10); // frame in hundredths of a millimetre, 10 pixels a millimetre
    cvg::putI32(b, (h + 1) * 10);
    cvg::putI32(b, 0x464D4520);
    cvg::putI32(b, 0x10000);
    cvg::putI32(b, 0);
    cvg::putI32(b, 0);
    cvg::putU16(b, 8);
    cvg::putU16(b, 0);
    cvg::putI32(b, 0);
    cvg::putI32(b, 0);
    cvg::putI32(b, 0);
    cvg::putI32(b, 1000);
    cvg::putI32(b, 1000);
    cvg::putI32(b, 100);
    cvg::putI32(b, 100);
    return b;
}

QByteArray placeableHeader(uint8_t w, uint8_t h)
{
    QByteArray b;
    cvg::putI32(b, int32_t(0x9AC6CDD7));
    cvg::putU16(b, 0);
    cvg::putU16(b, 0);
    cvg::putU16(b, 0);
    cvg::putU16(b, uint16_t(w + 1));
    cvg::putU16(b, uint16_t(h + 1));
    cvg::putU16(b, 96);
    cvg::putI32(b, 0);
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= cvg::getU16(reinterpret_cast<const uchar*>(b.constData()) + 2 * i);
    cvg::putU16(b, sum);
    cvg::putU16(b, 1);
    cvg::putU16(b, 9);
    cvg::putU16(b, 0x0300);
    cvg::putI32(b, 0);
    cvg::putU16(b, 8);
    cvg::putI32(b, 0);
    cvg::putU16(b, 0);
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ensureApplication();
    if (size < 3)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));
    QByteArray file;
    switch (data[0] % 3) {
    case 0:
        file = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
        break;
    case 1:
        file = enhancedHeader(data[1], data[2]) + rest;
        break;
    default:
        file = placeableHeader(data[1], data[2]) + rest;
        break;
    }
    QImage out;
    cvg::playMetafile(file, 96, out);
    return 0;
}
