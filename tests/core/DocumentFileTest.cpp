// The ".cvd" document file: layout, round trips, refused and damaged files.
#include "FuzzSeeds.h"
#include "ScriptedDialogs.h"
#include "TestPictures.h"

#include "calibration/CorrectDistortion.h"
#include "image/JpegCodec.h"
#include "image/PictureBlock.h"
#include "image/PngCodec.h"
#include "platform/ByteIO.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Progress.h"
#include "trace/TraceLine.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentFile.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace cvg;
using cvg::test::ScriptedDialogs;

namespace {

const QString kNotOurFormat = QStringLiteral("Curvegleaner32のファイル形式ではありません");
const QString kReadFailed = QStringLiteral("ファイルの読込に失敗しました");
const QString kJapaneseCaption = QStringLiteral("測定データ①");

// Two pages: Page0 with three points, a renamed second page with two; an
// uncorrected calibration with odd values and a small picture.
Document twoPageDocument()
{
    Document doc;
    doc.reset();
    doc.images.workingImage = test::patternPicture(40, 30);
    doc.state.pictureLoaded = true;
    doc.fileName.setFromPath(QStringLiteral("/data/グラフ.bmp"));
    Calibration& cal = doc.calibration;
    cal.SourcePoints = { { { 5, 28, 100.0 }, { 5, 3, -0.5 }, { 5, 3, 1e-7 }, { 37, 3, 12345.678 } } };
    cal.XLog = true;
    cal.YLog = false;
    cal.ScaleX = 0.125;
    cal.ScaleY = -3.75;
    doc.sheets.page(0).points = { { 1, 2 }, { 30, 29 }, { -7, 2147483647 } };
    doc.sheets.CreateSheetPage();
    doc.sheets.page(1).caption = kJapaneseCaption;
    doc.sheets.page(1).points = { { -2147483647 - 1, 0 }, { 12, 13 } };
    doc.sheets.setCurrentIndex(1);
    return doc;
}

QByteArray encoded(const Document& doc)
{
    QByteArray bytes;
    NullProgress progress;
    EXPECT_TRUE(encodeDocument(doc, bytes, progress));
    return bytes;
}

// Two flat colours split on a block boundary: JPEG keeps them nearly exact.
QImage twoColourPicture()
{
    QImage picture = newPicture(40, 30);
    for (int row = 0; row < picture.height(); ++row) {
        uchar* line = picture.scanLine(row);
        for (int x = 0; x < picture.width(); ++x) {
            line[3 * x] = x < 16 ? 200 : 20;
            line[3 * x + 1] = 40;
            line[3 * x + 2] = x < 16 ? 30 : 220;
        }
    }
    return picture;
}

QByteArray shortString(const QByteArray& text)
{
    QByteArray s(256, '\0');
    s[0] = char(text.size());
    s.replace(1, text.size(), text);
    return s;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

void setI32(QByteArray& bytes, int offset, int32_t v)
{
    QByteArray b;
    putI32(b, v);
    bytes.replace(offset, 4, b);
}

DocumentReadStatus decodeFresh(const QByteArray& bytes, Document& doc)
{
    doc.reset();
    cvg::test::keepSeed("DocumentFuzz", bytes);
    ScriptedDialogs dialogs;
    NullProgress progress;
    return decodeDocument(bytes, doc, dialogs, progress);
}

} // namespace

TEST(DocumentFileTest, LayoutIsByteExactFieldByField)
{
    const Document doc = twoPageDocument();
    const QByteArray bytes = encoded(doc);

    QByteArray expected;
    // Header: magic, version 102, the source name in code page 932, two pages, not converted.
    QByteArray header = shortString("CVD");
    putI32(header, 102);
    header += shortString(toCp932(QStringLiteral("グラフ.bmp")));
    putI32(header, 2);
    header += QByteArray(4, '\0');
    ASSERT_EQ(header.size(), 524);
    expected += header;
    for (const ReferencePoint& p : doc.calibration.SourcePoints) {
        putI32(expected, p.x);
        putI32(expected, p.y);
        putF64(expected, p.value);
    }
    expected += QByteArray::fromHex("0100000000000000");
    putF64(expected, 0.125);
    putF64(expected, -3.75);
    ASSERT_EQ(expected.size(), 612);
    expected += shortString("Page0");
    putI32(expected, 3);
    expected += shortString(toCp932(kJapaneseCaption));
    putI32(expected, 2);
    for (int32_t v : { 1, 2, 30, 29, -7, 2147483647, -2147483647 - 1, 0, 12, 13 })
        putI32(expected, v);
    ASSERT_EQ(expected.size(), 612 + 520 + 40);

    EXPECT_EQ(bytes.left(expected.size()).toHex(), expected.toHex());
    EXPECT_EQ(bytes.mid(0, 4), QByteArray::fromHex("03435644"));
    // The resize record, then the JPEG stream to the end of the file.
    EXPECT_EQ(bytes.mid(expected.size(), 12).toHex(), QByteArray(24, '0'));
    EXPECT_EQ(bytes.mid(expected.size() + 12, 2), QByteArray::fromHex("ffd8"));
    EXPECT_EQ(bytes.right(2), QByteArray::fromHex("ffd9"));

    // Three pages holding 2, 0 and 5 points put the
    // resize record at 524 + 64 + 24 + 780 + 56.
    Document three;
    three.reset();
    three.images.workingImage = test::patternPicture(8, 8);
    three.sheets.page(0).points = { { 1, 1 }, { 2, 2 } };
    three.sheets.CreateSheetPage();
    three.sheets.CreateSheetPage();
    three.sheets.page(2).points = { { 1, 1 }, { 2, 2 }, { 3, 3 }, { 4, 4 }, { 5, 5 } };
    const QByteArray threeBytes = encoded(three);
    const int resizeAt = 524 + 64 + 24 + 780 + 56;
    EXPECT_EQ(getI32(reinterpret_cast<const uchar*>(threeBytes.constData()) + 612 + 260 + 256), 0);
    EXPECT_EQ(threeBytes.mid(resizeAt + 12, 2), QByteArray::fromHex("ffd8"));
    EXPECT_EQ(threeBytes.mid(resizeAt - 8, 8).toHex(), QByteArray("0500000005000000"));
}

TEST(DocumentFileTest, WrittenDocumentReadsBackWithCaptionsPointsAndCalibration)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("two.cvd"));
    Document original = twoPageDocument();
    original.resize = ResizeRecord { true, { 0xAA, 0xBB, 0xCC }, 20, 15 };
    original.images.unresizedImage = twoColourPicture();
    original.images.workingImage = test::patternPicture(20, 15);
    original.calibration.scalePadding = { 1, 2, 3, 4, 5, 6 };
    // Bytes without meaning in the header travel along unchanged.
    original.header.bytes[100] = 0x5A;
    original.header.bytes[523] = 0x77;
    NullProgress progress;
    ASSERT_TRUE(WriteDocument(path, original, progress));
    EXPECT_EQ(original.sheets.currentIndex(), 1);

    Document doc;
    doc.reset();
    ScriptedDialogs dialogs;
    ASSERT_TRUE(ReadDocument(path, doc, dialogs, progress));
    ASSERT_EQ(doc.sheets.pageCount(), 2);
    EXPECT_EQ(doc.sheets.currentIndex(), 0);
    EXPECT_EQ(doc.sheets.page(0).caption, QStringLiteral("Page0"));
    EXPECT_EQ(doc.sheets.page(1).caption, kJapaneseCaption);
    EXPECT_EQ(doc.sheets.page(0).points, original.sheets.page(0).points);
    EXPECT_EQ(doc.sheets.page(1).points, original.sheets.page(1).points);
    EXPECT_EQ(doc.calibration.SourcePoints, original.calibration.SourcePoints);
    EXPECT_TRUE(doc.calibration.XLog);
    EXPECT_FALSE(doc.calibration.YLog);
    EXPECT_EQ(doc.calibration.ScaleX, 0.125);
    EXPECT_EQ(doc.calibration.ScaleY, -3.75);
    EXPECT_FALSE(doc.calibration.Converted);
    EXPECT_EQ(doc.resize, original.resize);
    EXPECT_EQ(doc.images.unresizedImage.size(), QSize(40, 30));
    EXPECT_EQ(doc.images.workingImage.size(), QSize(20, 15));
    // Far from the edge between the colours the JPEG keeps them closely.
    for (const int x : { 3, 35 }) {
        const uchar* got = doc.images.unresizedImage.constScanLine(15) + 3 * x;
        const uchar* want = original.images.unresizedImage.constScanLine(15) + 3 * x;
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(got[c], want[c], 6) << x << " " << c;
    }
    EXPECT_TRUE(doc.state.pictureLoaded);
    EXPECT_EQ(doc.state.overwritePath, path);
    EXPECT_EQ(doc.fileName.fileName, QStringLiteral("two.cvd"));
    EXPECT_EQ(doc.fileName.stem, QStringLiteral("two"));

    // Written again, every byte before the picture matches, except the
    // source name, which now names the document itself.
    const QByteArray first = readFile(path);
    const QString again = dir.filePath(QStringLiteral("again.cvd"));
    ASSERT_TRUE(WriteDocument(again, doc, progress));
    const QByteArray second = readFile(again);
    const int tablesEnd = 612 + 520 + 40 + 12;
    EXPECT_EQ(second.left(260), first.left(260));
    // The text after the length byte names the document itself; the bytes
    // after it are what the header held, here the end of the longer old name.
    EXPECT_EQ(second.mid(260, 8), QByteArray("\x07two.cvd"));
    EXPECT_EQ(second.mid(268, 3), QByteArray("bmp"));
    EXPECT_EQ(second.mid(271, 245), first.mid(271, 245));
    EXPECT_EQ(second.mid(516, tablesEnd - 516).toHex(), first.mid(516, tablesEnd - 516).toHex());
    EXPECT_EQ(uchar(second[100]), 0x5A);
    EXPECT_EQ(uchar(second[523]), 0x77);
}

TEST(DocumentFileTest, CaptionsAndNamesAreCutAtWholeCharactersWithin255Bytes)
{
    Document doc;
    doc.reset();
    doc.images.workingImage = test::patternPicture(8, 8);
    doc.sheets.page(0).caption = QString(256, QLatin1Char('x'));
    doc.sheets.CreateSheetPage();
    // 128 double-byte characters: the 255th byte would split the last one.
    doc.sheets.page(1).caption = QString(128, QChar(0x3042));
    doc.fileName.fileName = QString(300, QLatin1Char('n'));
    const QByteArray bytes = encoded(doc);
    EXPECT_EQ(uchar(bytes[260]), 255);
    EXPECT_EQ(bytes.mid(261, 255), QByteArray(255, 'n'));
    EXPECT_EQ(uchar(bytes[612]), 255);
    EXPECT_EQ(bytes.mid(613, 255), QByteArray(255, 'x'));
    EXPECT_EQ(uchar(bytes[612 + 260]), 254);
    EXPECT_EQ(bytes[612 + 260 + 255], '\0');

    Document read;
    ASSERT_EQ(decodeFresh(bytes, read), DocumentReadStatus::Read);
    EXPECT_EQ(read.sheets.page(0).caption, QString(255, QLatin1Char('x')));
    EXPECT_EQ(read.sheets.page(1).caption, QString(127, QChar(0x3042)));
}

TEST(DocumentFileTest, ConvertedDocumentRecomputesCorrectionAndScales)
{
    Document original;
    original.reset();
    original.images.workingImage = test::drawGraph(400, 300);
    original.state.pictureLoaded = true;
    Calibration& cal = original.calibration;
    // A slightly skewed frame so that the correction really maps pixels.
    cal.SourcePoints = { { { 42, 280, 100.0 }, { 40, 30, 0.0 }, { 40, 30, 0.0 }, { 380, 33, 10.0 } } };
    ScriptedDialogs dialogs;
    NullProgress progress;
    ASSERT_TRUE(CorrectDistortion(
        original.images.workingImage, cal, original.images.correctedImage, progress, dialogs));
    ASSERT_TRUE(ConvertData(cal));
    cal.Converted = true;
    original.sheets.page(0).points = { { 40, 30 }, { 100, 120 }, { 380, 280 } };

    Document doc;
    ASSERT_EQ(decodeFresh(encoded(original), doc), DocumentReadStatus::Read);
    EXPECT_TRUE(doc.calibration.Converted);
    EXPECT_EQ(doc.calibration.CorrectedPoints, cal.CorrectedPoints);
    EXPECT_EQ(doc.images.correctedImage.size(), original.images.correctedImage.size());
    for (const Point& p : original.sheets.page(0).points) {
        EXPECT_EQ(ConvertX(doc.calibration, p.X), ConvertX(cal, p.X));
        EXPECT_EQ(ConvertY(doc.calibration, p.Y), ConvertY(cal, p.Y));
    }

    // Reference points that no correction can use: its own message, and the
    // document is open but no longer counts as converted.
    Document& broken = original;
    broken.calibration.SourcePoints
        = { { { 40, 30, 1.0 }, { 40, 30, 0.0 }, { 40, 30, 0.0 }, { 380, 30, 10.0 } } };
    const QByteArray brokenBytes = encoded(broken);
    Document after;
    after.reset();
    ScriptedDialogs told;
    told.expectInfo(QStringLiteral("グラフの歪修正中にエラーが発生しました"));
    EXPECT_EQ(decodeDocument(brokenBytes, after, told, progress), DocumentReadStatus::Read);
    EXPECT_FALSE(after.calibration.Converted);
    EXPECT_TRUE(after.state.pictureLoaded);
}

TEST(DocumentFileTest, VersionOtherThan102ReadsPagesButNoPicture)
{
    Document original = twoPageDocument();
    QByteArray bytes = encoded(original);
    setI32(bytes, 256, 100);
    bytes.truncate(612 + 520 + 40); // no resize record, no picture
    Document doc;
    ASSERT_EQ(decodeFresh(bytes, doc), DocumentReadStatus::Read);
    EXPECT_EQ(doc.sheets.pageCount(), 2);
    EXPECT_EQ(doc.sheets.page(1).points, original.sheets.page(1).points);
    EXPECT_EQ(doc.sheets.page(1).caption, kJapaneseCaption);
    EXPECT_FALSE(doc.state.pictureLoaded);
    EXPECT_EQ(doc.images.workingImage.width(), 0);
    EXPECT_EQ(doc.header.version(), 100);
    EXPECT_FALSE(doc.calibration.Converted);

    // Marked converted but without a picture: nothing can be rebuilt, so no
    // values may be computed from it.
    bytes[520] = 1;
    Document marked;
    ASSERT_EQ(decodeFresh(bytes, marked), DocumentReadStatus::Read);
    EXPECT_FALSE(marked.calibration.Converted);
}

TEST(DocumentFileTest, ForeignFilesAreRefusedWithoutTakingAnythingOver)
{
    QTemporaryDir dir;
    const QByteArray good = encoded(twoPageDocument());
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QByteArray wrongLength = good;
    wrongLength[0] = 4;
    QByteArray wrongLetter = good;
    wrongLetter[3] = 'E';
    const Case cases[] = { { "empty.cvd", QByteArray() }, { "short.cvd", QByteArray::fromHex("0343") },
        { "length.cvd", wrongLength }, { "letter.cvd", wrongLetter },
        { "bitmap.cvd", QByteArray("BM") + QByteArray(600, '\0') } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        writeFile(path, c.bytes);
        Document doc;
        doc.reset();
        ScriptedDialogs dialogs;
        dialogs.expectInfo(kNotOurFormat);
        NullProgress progress;
        EXPECT_FALSE(ReadDocument(path, doc, dialogs, progress));
        EXPECT_EQ(doc.sheets.pageCount(), 1);
        EXPECT_EQ(doc.sheets.page(0).caption, QStringLiteral("Page0"));
        EXPECT_TRUE(doc.sheets.page(0).points.empty());
        EXPECT_EQ(doc.header.bytes, DocumentHeader::fresh().bytes);
        EXPECT_EQ(doc.calibration.SourcePoints, Calibration {}.SourcePoints);
        EXPECT_FALSE(doc.state.pictureLoaded);
        EXPECT_TRUE(doc.state.overwritePath.isEmpty());
        // The file identity names the file all the same.
        EXPECT_EQ(doc.fileName.fileName, QString::fromLatin1(c.name));
    }
}

TEST(DocumentFileTest, EveryTruncationAndBadCountFailsCleanly)
{
    Document original = twoPageDocument();
    const QByteArray good = encoded(original);
    Document doc;
    for (qsizetype n = 0; n < good.size(); ++n) {
        const DocumentReadStatus status = decodeFresh(good.left(n), doc);
        ASSERT_EQ(status, n < 4 ? DocumentReadStatus::NotDocument : DocumentReadStatus::Damaged)
            << "cut at " << n;
        EXPECT_FALSE(doc.state.pictureLoaded) << "cut at " << n;
    }
    ASSERT_EQ(decodeFresh(good, doc), DocumentReadStatus::Read);

    // Counts the rest of the file cannot hold, or that are negative.
    const int countOfPage0 = 612 + 256;
    const int countOfPage1 = 612 + 260 + 256;
    struct Patch {
        int offset;
        int32_t value;
    };
    const Patch patches[] = { { 516, -1 }, { 516, 2147483647 }, { 516, 100000 }, { countOfPage0, -1 },
        { countOfPage0, 1000001 }, { countOfPage0, 2147483647 }, { countOfPage1, 3 },
        { countOfPage1, -2147483647 - 1 } };
    for (const Patch& p : patches) {
        QByteArray bad = good;
        setI32(bad, p.offset, p.value);
        EXPECT_EQ(decodeFresh(bad, doc), DocumentReadStatus::Damaged) << p.offset << " " << p.value;
    }

    // A page table the file holds, but of more pages than any document has.
    QByteArray manyPages = good.left(612);
    QByteArray record = shortString("P");
    putI32(record, 0);
    for (int i = 0; i < 10001; ++i)
        manyPages += record;
    setI32(manyPages, 516, 10001);
    EXPECT_EQ(decodeFresh(manyPages, doc), DocumentReadStatus::Damaged);
    EXPECT_EQ(doc.sheets.pageCount(), 1);
    setI32(manyPages, 256, 100);
    setI32(manyPages, 516, 3);
    ASSERT_EQ(decodeFresh(manyPages, doc), DocumentReadStatus::Read);
    EXPECT_EQ(doc.sheets.pageCount(), 3);
    EXPECT_EQ(doc.sheets.page(2).caption, QStringLiteral("P"));

    // A damaged JPEG stream; the message through the file reader.
    QByteArray badJpeg = good;
    const int jpegAt = 612 + 520 + 40 + 12;
    for (int i = jpegAt + 2; i < badJpeg.size() - 2; ++i)
        badJpeg[i] = char(0x00);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.cvd"));
    writeFile(path, badJpeg);
    doc.reset();
    ScriptedDialogs dialogs;
    dialogs.expectInfo(kReadFailed);
    NullProgress progress;
    EXPECT_FALSE(ReadDocument(path, doc, dialogs, progress));
    // What was read before the picture stays; overwriting it is not offered.
    EXPECT_EQ(doc.sheets.pageCount(), 2);
    EXPECT_EQ(doc.sheets.page(0).points, original.sheets.page(0).points);
    EXPECT_FALSE(doc.state.pictureLoaded);
    EXPECT_TRUE(doc.state.overwritePath.isEmpty());
    EXPECT_EQ(doc.fileName.fileName, QStringLiteral("damaged.cvd"));
}

TEST(DocumentFileTest, FilesThatCannotBeOpenedOrReplacedLeaveEverythingAsItWas)
{
    QTemporaryDir dir;
    NullProgress progress;
    const QString missing = dir.filePath(QStringLiteral("missing.cvd"));
    Document doc;
    doc.reset();
    doc.fileName.setFromPath(QStringLiteral("/before/old.bmp"));
    ScriptedDialogs dialogs;
    try {
        ReadDocument(missing, doc, dialogs, progress);
        ADD_FAILURE() << "no error for a missing file";
    } catch (const CvgError& e) {
        EXPECT_TRUE(e.userText().startsWith(QStringLiteral("ファイル \"%1\" を開けません。").arg(missing)));
    }
    EXPECT_EQ(doc.fileName.fileName, QStringLiteral("old.bmp"));

    // An old file stays whole when the new picture cannot be encoded ...
    const QString path = dir.filePath(QStringLiteral("keep.cvd"));
    const QByteArray old("old contents");
    writeFile(path, old);
    Document noPicture;
    noPicture.reset();
    EXPECT_FALSE(WriteDocument(path, noPicture, progress));
    EXPECT_EQ(readFile(path), old);

    // ... and when the replacement cannot be created beside it (its
    // temporary name would be longer than a file name may be).
    const QString longPath = dir.filePath(QString(250, QLatin1Char('k')));
    writeFile(longPath, old);
    const Document doc2 = twoPageDocument();
    EXPECT_THROW(WriteDocument(longPath, doc2, progress), CvgError);
    EXPECT_EQ(readFile(longPath), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);

    const QString noFolder = dir.filePath(QStringLiteral("no/such/folder.cvd"));
    try {
        WriteDocument(noFolder, doc2, progress);
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const CvgError& e) {
        EXPECT_TRUE(
            e.userText().startsWith(QStringLiteral("ファイル \"%1\" を作成できません。").arg(noFolder)));
    }
    EXPECT_FALSE(QFile::exists(noFolder));
}

TEST(DocumentFileTest, FractionsAndTheExactPictureSurviveSaveAndReopen)
{
    Document doc = twoPageDocument();
    const std::vector<Point> precise
        = { Point::atPrecise(1.25, 2.5), Point::atPrecise(30, 28.75), { -7, 2147483647 } };
    doc.sheets.page(0).points = precise;
    const QByteArray bytes = encoded(doc);

    // Outside our segments the file is the one the whole pixels make.
    Document whole = twoPageDocument();
    whole.sheets.page(0).points = { { 1, 2 }, { 30, 29 }, { -7, 2147483647 } };
    const QByteArray wholeBytes = encoded(whole);
    const int pictureAt = 612 + 520 + 40 + 12;
    EXPECT_EQ(bytes.left(pictureAt), wholeBytes.left(pictureAt));
    EXPECT_EQ(test::withoutExtensionSegments(bytes.mid(pictureAt)),
        test::withoutExtensionSegments(wholeBytes.mid(pictureAt)));
    EXPECT_GT(bytes.size(), wholeBytes.size());

    Document read;
    ASSERT_EQ(decodeFresh(bytes, read), DocumentReadStatus::Read);
    EXPECT_EQ(read.sheets.page(0).points, precise);
    EXPECT_EQ(read.sheets.page(1).points, doc.sheets.page(1).points);
    EXPECT_EQ(test::differingPixels(read.images.workingImage, doc.images.workingImage), 0);

    // Another program changed a point of the first page: that page reads as
    // its whole pixels say, the rest as written.
    QByteArray changed = bytes;
    setI32(changed, 612 + 520 + 12, 27);
    ASSERT_EQ(decodeFresh(changed, read), DocumentReadStatus::Read);
    EXPECT_EQ(read.sheets.page(0).points, (std::vector<Point> { { 1, 2 }, { 30, 27 }, { -7, 2147483647 } }));
    EXPECT_EQ(test::differingPixels(read.images.workingImage, doc.images.workingImage), 0);

    // A rest no whole pixel can have (more than half a pixel), on the first
    // point or after two good ones: the page is whole.
    for (const int point : { 0, 2 }) {
        QByteArray impossible = bytes;
        for (const auto& [begin, end] : test::extensionSegments(bytes.mid(pictureAt)))
            if (bytes[pictureAt + begin + 13] == 2) // a page's fractions
                setI32(impossible, pictureAt + begin + 4 + 26 + 8 + 4 * point, 0x00007000);
        ASSERT_EQ(decodeFresh(impossible, read), DocumentReadStatus::Read);
        EXPECT_EQ(read.sheets.page(0).points, whole.sheets.page(0).points) << point;
    }
}

TEST(DocumentFileTest, ColourTraceFindsTheSameLineAfterSaveAndReopen)
{
    // An orange curve that a tight colour tolerance picks out of the picture
    // as drawn; the JPEG alone shifts its colours out of reach.
    QImage picture = test::drawGraph(400, 300);
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0xFF, 0x7F, 0x0E), 2));
        p.drawLine(QPointF(50, 200.5), QPointF(350, 80.25));
    }
    Document doc;
    doc.reset();
    doc.images.workingImage = picture;
    doc.state.pictureLoaded = true;
    Document read;
    ASSERT_EQ(decodeFresh(encoded(doc), read), DocumentReadStatus::Read);
    EXPECT_EQ(test::differingPixels(read.images.workingImage, picture), 0);

    TTraceLine trace;
    trace.ScanInterval = 1;
    trace.Mode = TraceMode::Colour;
    trace.LineColour = qRgb(0xFF, 0x7F, 0x0E);
    trace.Tolerance = 12;
    const std::vector<TXYData> before = trace.TraceAll(picture, 0, 0, 399, 299);
    ASSERT_GT(before.size(), 300u);
    EXPECT_EQ(trace.TraceAll(read.images.workingImage, 0, 0, 399, 299), before);
    QByteArray jpeg;
    ASSERT_TRUE(encodeJpeg(picture, jpeg));
    QImage lossy;
    ASSERT_TRUE(decodeJpeg(reinterpret_cast<const uchar*>(jpeg.constData()), size_t(jpeg.size()), lossy));
    EXPECT_LT(trace.TraceAll(lossy, 0, 0, 399, 299).size(), before.size() / 2);
}

namespace {

// The segments of one extension record as the file has always laid them
// out: marker, big-endian length, signature, version, type, then number,
// part, parts and total length as 32-bit little-endian, and the part.
QByteArray segmentsOf(uint8_t type, int32_t number, const QByteArray& payload)
{
    constexpr qsizetype kPart = 65533 - 26;
    const qsizetype parts = std::max<qsizetype>(1, (payload.size() + kPart - 1) / kPart);
    QByteArray out;
    for (qsizetype part = 0; part < parts; ++part) {
        const QByteArray piece = payload.mid(part * kPart, kPart);
        out += QByteArray::fromHex("ffef");
        out += char((2 + 26 + piece.size()) >> 8);
        out += char((2 + 26 + piece.size()) & 0xFF);
        out += QByteArray("CVGLEAN", 8);
        putU8(out, 1);
        putU8(out, type);
        for (int32_t v : { number, int32_t(part), int32_t(parts), int32_t(payload.size()) })
            putI32(out, v);
        out += piece;
    }
    return out;
}

uint32_t zlibCrc(const QByteArray& bytes)
{
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
}

} // namespace

TEST(DocumentFileTest, SavedFileHasTheSameBytesAsTheDocumentLaidOutInMemory)
{
    // Pages longer than the writer's pieces, with and without fractions, and
    // a page with a single fraction; then the same pages without any.
    const auto build = [] {
        Document d = twoPageDocument();
        d.images.workingImage = test::drawGraph(320, 240);
        std::vector<Point> first(20000), second(10001);
        for (size_t i = 0; i < first.size(); ++i)
            first[i] = Point::atPrecise(double(i % 320) + 0.25 * double(i % 3), double(i * 7 % 240) - 0.375);
        for (size_t i = 0; i < second.size(); ++i)
            second[i] = { int32_t(i * 13 % 320), int32_t(i % 240) };
        d.sheets.page(0).points = first;
        d.sheets.page(1).points = second;
        d.sheets.CreateSheetPage();
        d.sheets.page(2).points = { { 3, 4 }, Point::atPrecise(5.5, 6), { 7, 8 } };
        return d;
    };
    Document doc = build();
    Document whole = build();
    for (int i = 0; i < whole.sheets.pageCount(); ++i)
        for (Point& p : whole.sheets.page(i).points)
            p = { p.X, p.Y };

    QByteArray jpeg, png;
    ASSERT_TRUE(encodeJpeg(doc.images.workingImage, jpeg));
    ASSERT_TRUE(encodePng(doc.images.workingImage, png));
    QTemporaryDir dir;
    NullProgress progress;
    for (const Document* d : { &doc, &whole }) {
        // Tables (laid out field by field above), the point records, the
        // resize record, the JPEG's start and JFIF header, the exact copy,
        // the pages' fractions, the rest of the JPEG.
        const int pageCount = d->sheets.pageCount();
        const QByteArray memory = encoded(*d);
        QByteArray expected = memory.left(524 + 88 + 260 * pageCount);
        QByteArray fractions;
        for (int i = 0; i < pageCount; ++i) {
            const std::vector<Point>& points = d->sheets.page(i).points;
            QByteArray records, rests;
            for (const Point& p : points) {
                putI32(records, p.X);
                putI32(records, p.Y);
                putU16(rests, uint16_t(p.fracX));
                putU16(rests, uint16_t(p.fracY));
            }
            expected += records;
            if (std::any_of(points.begin(), points.end(), [](const Point& p) { return p.hasFraction(); })) {
                QByteArray payload;
                putI32(payload, int32_t(points.size()));
                putI32(payload, int32_t(zlibCrc(records)));
                fractions += segmentsOf(2, i, payload + rests);
            }
        }
        EXPECT_EQ(fractions.isEmpty(), d == &whole);
        QByteArray copy;
        putI32(copy, int32_t(zlibCrc(jpeg)));
        const int jfifEnd = 4 + (uchar(jpeg[4]) << 8 | uchar(jpeg[5]));
        ASSERT_EQ(jpeg.mid(2, 2), QByteArray::fromHex("ffe0"));
        expected += QByteArray(12, '\0') + jpeg.left(jfifEnd) + segmentsOf(1, 0, copy + png) + fractions
            + jpeg.mid(jfifEnd);

        EXPECT_TRUE(memory == expected) << "in memory, " << (d == &whole ? "whole" : "with fractions");
        const QString path = dir.filePath(QStringLiteral("same.cvd"));
        ASSERT_TRUE(WriteDocument(path, *d, progress));
        EXPECT_TRUE(readFile(path) == expected) << "saved, " << (d == &whole ? "whole" : "with fractions");
    }
}
