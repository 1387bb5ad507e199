#include "CliRunner.h"
#include "image/BmpCodec.h"
#include "image/JpegCodec.h"

#include "MetafileWriter.h"
#include "TestPictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

using namespace cvg;

namespace {

using test::CliRun;
using test::runCli;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace

TEST(CliConvert, HelpVersionAndUsageErrors)
{
    CliRun r = runCli({ QStringLiteral("--version") });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(QString::fromUtf8(r.out), QStringLiteral("Curvegleaner32 Ver. 1.27\n"));
    EXPECT_TRUE(r.err.isEmpty());

    r = runCli({ QStringLiteral("--help") });
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(QString::fromUtf8(r.out).startsWith(QStringLiteral("Usage: cvglean-cli COMMAND")));
    EXPECT_TRUE(QString::fromUtf8(r.out).contains(QStringLiteral("convert INPUT OUTPUT")));

    const QStringList usageErrors[] = {
        {},
        { QStringLiteral("frobnicate") },
        { QStringLiteral("convert") },
        { QStringLiteral("convert"), QStringLiteral("a.bmp") },
        { QStringLiteral("convert"), QStringLiteral("a.bmp"), QStringLiteral("b.jpg"),
            QStringLiteral("c.jpg") },
    };
    for (const QStringList& args : usageErrors) {
        r = runCli(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(QString::fromUtf8(r.out).isEmpty());
        EXPECT_TRUE(r.err.contains(QStringLiteral("Usage: cvglean-cli COMMAND"))) << r.err.toStdString();
    }
    r = runCli({ QStringLiteral("frobnicate") });
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("cvglean-cli: unknown command \"frobnicate\"\n")));
}

TEST(CliConvert, ConvertsBetweenBitmapAndJpeg)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage source = test::patternPicture(37, 21);
    const QString bmp = dir.filePath("in.bmp");
    writeAll(bmp, encodeBmp(source));

    // Bitmap to bitmap is byte-exact.
    const QString copy = dir.filePath("copy.bmp");
    CliRun r = runCli({ QStringLiteral("convert"), bmp, copy });
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    EXPECT_EQ(readAll(copy), encodeBmp(source));

    // Bitmap to JPEG writes what the encoder writes.
    const QString jpg = dir.filePath("out.jpg");
    r = runCli({ QStringLiteral("convert"), bmp, jpg });
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    QByteArray expected;
    ASSERT_TRUE(encodeJpeg(source, expected));
    EXPECT_EQ(readAll(jpg), expected);

    // JPEG to bitmap: the decoded picture, 24 bits.
    const QString back = dir.filePath("back.bmp");
    r = runCli({ QStringLiteral("convert"), jpg, back });
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    QImage decoded;
    ASSERT_TRUE(
        decodeJpeg(reinterpret_cast<const uchar*>(expected.constData()), size_t(expected.size()), decoded));
    EXPECT_EQ(readAll(back), encodeBmp(decoded));
}

TEST(CliConvert, FailuresExitWithTwoAndTheReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString bmp = dir.filePath("in.bmp");
    writeAll(bmp, encodeBmp(test::patternPicture(8, 8)));

    // Extensions are compared exactly, case-sensitive.
    const QString upper = dir.filePath("PIC.BMP");
    writeAll(upper, encodeBmp(test::patternPicture(8, 8)));
    const QString out = dir.filePath("out.bmp");
    CliRun r = runCli({ QStringLiteral("convert"), upper, out });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(
        r.err, QStringLiteral("cvglean-cli: %1: このファイル形式は読込むことができません\n").arg(upper));
    EXPECT_FALSE(QFile::exists(out));

    const QString png = dir.filePath("out.png");
    r = runCli({ QStringLiteral("convert"), bmp, png });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(
        r.err, QStringLiteral("cvglean-cli: %1: このファイル形式で保存することはできません\n").arg(png));
    EXPECT_FALSE(QFile::exists(png));

    const QString missing = dir.filePath("missing.jpg");
    r = runCli({ QStringLiteral("convert"), missing, out });
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(
        r.err.startsWith(QStringLiteral("cvglean-cli: ファイル \"%1\" を開けません。\n").arg(missing)))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));

    const QString damaged = dir.filePath("damaged.bmp");
    writeAll(damaged, encodeBmp(test::patternPicture(8, 8)).left(100));
    r = runCli({ QStringLiteral("convert"), damaged, out });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
        QStringLiteral("cvglean-cli: ファイル \"%1\" を画像として読込むことができません。\n").arg(damaged));
    EXPECT_FALSE(QFile::exists(out));

    const QString noFolder = dir.filePath("no/such/out.jpg");
    r = runCli({ QStringLiteral("convert"), bmp, noFolder });
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(
        r.err.startsWith(QStringLiteral("cvglean-cli: ファイル \"%1\" を作成できません。\n").arg(noFolder)))
        << r.err.toStdString();
}

TEST(CliConvert, TodaysFormatsBecomeBitmapsLaidOverWhite)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage source(3, 1, QImage::Format_ARGB32);
    auto* row = reinterpret_cast<QRgb*>(source.scanLine(0));
    row[0] = qRgba(200, 100, 50, 128); // half transparent
    row[1] = qRgba(9, 8, 7, 0); // fully transparent
    row[2] = qRgba(12, 34, 56, 255);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "png").write(source));
    const QString in = dir.filePath(QStringLiteral("in.png"));
    writeAll(in, png);

    const QString out = dir.filePath(QStringLiteral("out.bmp"));
    CliRun r = runCli({ QStringLiteral("convert"), in, out });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    QImage expected(3, 1, QImage::Format_RGB888);
    const uchar bytes[9] = { 227, 177, 152, 255, 255, 255, 12, 34, 56 };
    std::copy(bytes, bytes + 9, expected.scanLine(0));
    EXPECT_EQ(readAll(out), encodeBmp(expected));

    // A bitmap called ".png" is not read as a bitmap.
    const QString disguised = dir.filePath(QStringLiteral("bitmap.png"));
    writeAll(disguised, encodeBmp(expected));
    r = runCli({ QStringLiteral("convert"), disguised, dir.filePath(QStringLiteral("no.bmp")) });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
        QStringLiteral("cvglean-cli: ファイル \"%1\" を画像として読込むことができません。\n").arg(disguised));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("no.bmp"))));

    r = runCli({ QStringLiteral("--help") });
    EXPECT_TRUE(QString::fromUtf8(r.out).contains(
        QStringLiteral("Read a picture (.bmp, .jpg, .wmf, .emf, .png, .gif, .tif, .tiff, .webp) and write")));
}

TEST(CliConvert, MetafilesBecomePictures)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // An enhanced metafile of 200 x 100 pixels with a red rectangle, named ".wmf":
    // it is read as enhanced all the same.
    test::Emf emf;
    emf.brush(1, 0, qRgb(255, 0, 0)).select(1).select(0x80000008).rectangle(50, 20, 150, 80);
    const QString misnamed = dir.filePath(QStringLiteral("plot.wmf"));
    writeAll(misnamed, emf.bytes());
    const QString out = dir.filePath(QStringLiteral("plot.bmp"));
    CliRun r = runCli({QStringLiteral("convert"), misnamed, out});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QImage picture;
    ASSERT_TRUE(LoadBmpPicture(out, picture));
    EXPECT_EQ(picture.size(), QSize(200, 100));
    EXPECT_EQ(picture.pixelColor(100, 50), QColor(255, 0, 0));
    EXPECT_EQ(picture.pixelColor(10, 10), QColor(255, 255, 255));

    // A placeable Windows metafile: 1440 units an inch, 2 x 1 inches at 96 dpi.
    test::Wmf wmf(2880, 1440);
    wmf.window(0, 0, 2880, 1440).brush(qRgb(0, 0, 255)).select(0).rectangle(0, 0, 1440, 1440);
    const QString placeable = dir.filePath(QStringLiteral("plot2.wmf"));
    writeAll(placeable, wmf.bytes());
    const QString jpg = dir.filePath(QStringLiteral("plot2.jpg"));
    r = runCli({QStringLiteral("convert"), placeable, jpg});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    ASSERT_TRUE(LoadJpegPicture(jpg, picture));
    EXPECT_EQ(picture.size(), QSize(192, 96));

    // Without the placeable header a Windows metafile is refused.
    const QString plain = dir.filePath(QStringLiteral("plain.wmf"));
    writeAll(plain, wmf.bytes(true, false));
    r = runCli({QStringLiteral("convert"), plain, out});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, QStringLiteral("cvglean-cli: ファイル \"%1\" を画像として読込むことができません。\n").arg(plain));
}
