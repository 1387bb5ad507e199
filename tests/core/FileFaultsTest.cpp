// Hostile sizes and failing disks: files that claim more than they hold fail
// at once without allocating what they claim, and a save that cannot finish
// leaves the previous document whole and readable.
#include "ScriptedDialogs.h"
#include "TestPictures.h"

#include "image/BmpCodec.h"
#include "image/JpegCodec.h"
#include "image/MetafilePlayer.h"
#include "platform/ByteIO.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/HeadlessDialogs.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

// Under AddressSanitizer no single allocation of this program may exceed
// 256 MB: a reader that allocated what a hostile header claims stops the
// test with a report instead of quietly failing on the allocation.
extern "C" const char* __asan_default_options()
{
    return "max_allocation_size_mb=256:allocator_may_return_null=0";
}

using namespace cvg;

namespace {

const QString kReadFailed = QStringLiteral("ファイルの読込に失敗しました");

QByteArray bmpHeader(int32_t width, int32_t height, uint16_t bpp, uint32_t compression, int pixelBytes)
{
    QByteArray b;
    putU8(b, 'B');
    putU8(b, 'M');
    putI32(b, 54 + pixelBytes);
    putI32(b, 0);
    putI32(b, 54);
    putI32(b, 40);
    putI32(b, width);
    putI32(b, height);
    putU16(b, 1);
    putU16(b, bpp);
    putI32(b, int32_t(compression));
    putI32(b, 0);
    putI32(b, 2835);
    putI32(b, 2835);
    putI32(b, 0);
    putI32(b, 0);
    b.append(QByteArray(pixelBytes, '\x7f'));
    return b;
}

bool decodesBmp(const QByteArray& file)
{
    QImage out;
    return decodeBmp(reinterpret_cast<const uchar*>(file.constData()), size_t(file.size()), out);
}

// SOI and a baseline frame header claiming width x height, then the end.
QByteArray jpegClaiming(uint16_t width, uint16_t height)
{
    QByteArray b = QByteArray::fromHex("ffd8ffc0001108");
    b.append(char(height >> 8))
        .append(char(height & 0xff))
        .append(char(width >> 8))
        .append(char(width & 0xff));
    b.append(QByteArray::fromHex("03012200021101031101ffd9"));
    return b;
}

QByteArray emfClaimingFrame(int32_t right, int32_t bottom)
{
    QByteArray b;
    putI32(b, 1);
    putI32(b, 88);
    for (int i = 0; i < 4; ++i)
        putI32(b, 0);
    putI32(b, 0);
    putI32(b, 0);
    putI32(b, right);
    putI32(b, bottom);
    putI32(b, 0x464D4520);
    putI32(b, 0x10000);
    putI32(b, 88 + 20);
    putI32(b, 2);
    putU16(b, 0);
    putU16(b, 0);
    putI32(b, 0);
    putI32(b, 0);
    putI32(b, 0);
    putI32(b, 1000);
    putI32(b, 1000);
    putI32(b, 100);
    putI32(b, 100);
    // EMR_EOF
    putI32(b, 14);
    putI32(b, 20);
    putI32(b, 0);
    putI32(b, 16);
    putI32(b, 20);
    return b;
}

QByteArray placeableClaiming(int16_t right, int16_t bottom, uint16_t unitsPerInch)
{
    QByteArray b;
    putI32(b, int32_t(0x9AC6CDD7));
    putU16(b, 0);
    putU16(b, 0);
    putU16(b, 0);
    putU16(b, uint16_t(right));
    putU16(b, uint16_t(bottom));
    putU16(b, unitsPerInch);
    putI32(b, 0);
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= getU16(reinterpret_cast<const uchar*>(b.constData()) + 2 * i);
    putU16(b, sum);
    putU16(b, 1);
    putU16(b, 9);
    putU16(b, 0x0300);
    putI32(b, 12);
    putU16(b, 0);
    putI32(b, 3);
    putU16(b, 0);
    putI32(b, 3); // end record
    putU16(b, 0);
    return b;
}

Document smallDocument()
{
    Document doc;
    doc.reset();
    doc.images.workingImage = test::patternPicture(32, 24);
    doc.state.pictureLoaded = true;
    doc.sheets.page(0).points = { { 1, 2 }, { 3, 4 } };
    return doc;
}

QByteArray encoded(const Document& doc)
{
    QByteArray bytes;
    NullProgress progress;
    EXPECT_TRUE(encodeDocument(doc, bytes, progress));
    return bytes;
}

// Reads bytes as a document file; the texts of the messages shown go to told.
bool readsAsDocument(const QByteArray& bytes, QStringList& told)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("claim.cvd"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    HeadlessDialogs dialogs([&told](const QString& text) { told << text; });
    NullProgress progress;
    Document doc;
    doc.reset();
    return ReadDocument(path, doc, dialogs, progress);
}

void patchI32(QByteArray& bytes, qsizetype offset, int32_t v)
{
    QByteArray b;
    putI32(b, v);
    bytes.replace(offset, 4, b);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

bool readsBackAs(const QString& path, const Document& expected)
{
    HeadlessDialogs dialogs;
    NullProgress progress;
    Document doc;
    doc.reset();
    if (!ReadDocument(path, doc, dialogs, progress))
        return false;
    if (doc.sheets.pageCount() != expected.sheets.pageCount())
        return false;
    for (int i = 0; i < doc.sheets.pageCount(); ++i)
        if (doc.sheets.page(i).points != expected.sheets.page(i).points)
            return false;
    return true;
}

} // namespace

TEST(FileFaults, PictureHeadersClaimingHugeSizesFailWithoutAllocating)
{
    // Beyond the side limit, beyond the pixel limit, and a 14000 x 14000
    // picture (within the limits) in a file far too short for its rows.
    EXPECT_FALSE(decodesBmp(bmpHeader(40000, 40000, 24, 0, 16)));
    EXPECT_FALSE(decodesBmp(bmpHeader(20000, -15000, 24, 0, 16)));
    EXPECT_FALSE(decodesBmp(bmpHeader(14000, 14000, 24, 0, 16)));
    EXPECT_FALSE(decodesBmp(bmpHeader(14000, 14000, 32, 0, 16)));
    EXPECT_FALSE(decodesBmp(bmpHeader(14000, 14000, 8, 0, 16)));
    EXPECT_FALSE(decodesBmp(bmpHeader(-2147483647 - 1, 1, 24, 0, 16)));
    EXPECT_FALSE(decodesBmp(bmpHeader(2147483647, 2147483647, 1, 0, 16)));

    QImage out;
    for (const auto& [w, h] :
        { std::pair { 65500, 65500 }, std::pair { 65500, 1 }, std::pair { 1, 65500 } }) {
        const QByteArray jpeg = jpegClaiming(uint16_t(w), uint16_t(h));
        EXPECT_FALSE(decodeJpeg(reinterpret_cast<const uchar*>(jpeg.constData()), size_t(jpeg.size()), out))
            << w << "x" << h;
    }

    // Metafiles: a frame of a kilometre, a negative one, and a placeable
    // box of 32767 inches.
    EXPECT_FALSE(playMetafile(emfClaimingFrame(100'000'000, 100'000'000), 96, out));
    EXPECT_FALSE(playMetafile(emfClaimingFrame(2147483647, 2147483647), 96, out));
    EXPECT_FALSE(playMetafile(emfClaimingFrame(-2147483647, 10), 96, out));
    EXPECT_FALSE(playMetafile(placeableClaiming(32767, 32767, 1), 96, out));
    // The same header with a sane box does draw, so the refusals above come
    // from the sizes and not from a broken record chain.
    EXPECT_TRUE(playMetafile(emfClaimingFrame(2000, 1000), 96, out));
    EXPECT_EQ(out.size(), QSize(200, 100));
    EXPECT_TRUE(playMetafile(placeableClaiming(1440, 720, 1440), 96, out));
    EXPECT_EQ(out.size(), QSize(96, 48));
}

TEST(FileFaults, DocumentCountsClaimingGigabytesFailWithTheReadMessage)
{
    const QByteArray good = encoded(smallDocument());
    QStringList told;
    ASSERT_TRUE(readsAsDocument(good, told));
    EXPECT_TRUE(told.isEmpty());

    const qsizetype pageCountAt = DocumentHeader::kPageCountOffset; // the header starts with the magic
    const qsizetype firstCountAt
        = DocumentHeader::kSize + kPointBlockSize + kScaleBlockSize + kShortStringSize;
    struct Claim {
        const char* what;
        qsizetype offset;
        int32_t value;
    };
    const Claim claims[] = {
        { "2^31 - 1 pages", pageCountAt, 2147483647 },
        { "10000 pages in a small file", pageCountAt, 10000 },
        { "a negative page count", pageCountAt, -1 },
        { "2^31 - 1 points", firstCountAt, 2147483647 },
        { "a million points in a small file", firstCountAt, 1'000'000 },
        { "a negative point count", firstCountAt, -2147483647 - 1 },
    };
    for (const Claim& claim : claims) {
        QByteArray bytes = good;
        patchI32(bytes, claim.offset, claim.value);
        told.clear();
        EXPECT_FALSE(readsAsDocument(bytes, told)) << claim.what;
        EXPECT_EQ(told, QStringList { kReadFailed }) << claim.what;
    }

    // The picture block at the end claims a JPEG stream of 2 GB.
    QByteArray bytes = good;
    const qsizetype pictureAt = firstCountAt + 4 + 2 * kPointRecordSize;
    ASSERT_LT(pictureAt + 16, bytes.size());
    for (qsizetype at = pictureAt; at + 4 <= bytes.size() && at < pictureAt + 32; at += 4) {
        QByteArray claim = good;
        patchI32(claim, at, 2147483647);
        told.clear();
        readsAsDocument(claim, told); // may still read when the field was not a length
        EXPECT_TRUE(told.isEmpty() || told == QStringList { kReadFailed });
    }
}

TEST(FileFaults, AFullDiskAVanishedFolderAndAReadOnlyFileKeepThePreviousDocument)
{
    QTemporaryDir dir;
    NullProgress progress;
    const Document before = smallDocument();
    Document large = smallDocument();
    std::vector<Point> many(200'000);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = { int32_t(i), int32_t(i % 1000) };
    large.sheets.page(0).points = many;

    // A disk that fills up half way: the file size limit stands in for it
    // (the write fails the same way, only with another error number).
    const QString path = dir.filePath(QStringLiteral("full.cvd"));
    ASSERT_TRUE(WriteDocument(path, before, progress));
    const QByteArray old = fileBytes(path);
    {
        rlimit saved {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 256 * 1024;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool threw = false;
        try {
            WriteDocument(path, large, progress);
        } catch (const CvgError& e) {
            threw = true;
            EXPECT_TRUE(
                e.userText().startsWith(QStringLiteral("ファイル \"%1\" を作成できません。").arg(path)))
                << e.userText().toStdString();
            // The reason is the system's, not an unknown one.
            EXPECT_TRUE(e.userText().endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))))
                << e.userText().toStdString();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_TRUE(threw) << "a write cut short was reported as done";
    }
    EXPECT_EQ(fileBytes(path), old);
    EXPECT_TRUE(readsBackAs(path, before));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("full.cvd") })
        << "the unfinished replacement was left behind";

    // The folder chosen in the dialog is gone by the time of the save.
    const QString gone = dir.filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(gone));
    ASSERT_TRUE(QDir(gone).removeRecursively());
    EXPECT_THROW(WriteDocument(gone + QStringLiteral("/doc.cvd"), before, progress), CvgError);
    EXPECT_FALSE(QFileInfo::exists(gone));

    // A file marked read-only is not replaced, whoever runs the program.
    const QString locked = dir.filePath(QStringLiteral("locked.cvd"));
    ASSERT_TRUE(WriteDocument(locked, before, progress));
    const QByteArray lockedBytes = fileBytes(locked);
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    try {
        WriteDocument(locked, large, progress);
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const CvgError& e) {
        EXPECT_TRUE(
            e.userText().startsWith(QStringLiteral("ファイル \"%1\" を作成できません。").arg(locked)));
    }
    EXPECT_EQ(fileBytes(locked), lockedBytes);
    EXPECT_TRUE(readsBackAs(locked, before));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
}

TEST(FileFaults, WholeFilesOfEverySizeReadBackByteForByte)
{
    // Large files are read in two halves at once; every byte lands in its
    // place on either side of the split, and a limit below the size refuses.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bytes.bin"));
    const qint64 split = qint64(4) << 20;
    for (const qint64 size : { qint64(0), qint64(1), split - 1, split, split + 1, 2 * split + 3 }) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char((i * 2654435761u) >> 13);
        writeBytes(path, bytes);
        const std::optional<QByteArray> read = readWholeFile(path, size);
        ASSERT_TRUE(read.has_value()) << size;
        EXPECT_TRUE(*read == bytes) << size;
        if (size > 0) {
            EXPECT_FALSE(readWholeFile(path, size - 1).has_value()) << size;
        }
    }
}

TEST(FileFaults, ReplacingAFileTheWriterCannotReadOrThatIsAPipeNeitherHangsNorLosesTheSave)
{
    // The save holds the old file open across its replacement; a target it
    // cannot open for reading, or a named pipe nobody writes to, must not
    // stop or stall the save.
    QTemporaryDir dir;
    NullProgress progress;
    const Document doc = smallDocument();
    const QString writeOnly = dir.filePath(QStringLiteral("writeonly.cvd"));
    writeBytes(writeOnly, QByteArray("old"));
    ASSERT_TRUE(QFile::setPermissions(writeOnly, QFile::WriteOwner));
    const QString pipe = dir.filePath(QStringLiteral("pipe.cvd"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0) << std::strerror(errno);

    for (const QString& path : { writeOnly, pipe }) {
        SCOPED_TRACE(path.toStdString());
        std::atomic<bool> done { false };
        bool written = false;
        std::thread save([&] {
            try {
                written = WriteDocument(path, doc, progress);
            } catch (const CvgError&) {
            }
            done = true;
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done) {
            // Unblock the open of the pipe so that the thread can be joined.
            ::close(::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK));
            save.join();
            FAIL() << "the save hung";
        }
        save.join();
        ASSERT_TRUE(written);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_TRUE(readsBackAs(path, doc));
    }
}

TEST(FileFaults, ReadingADocumentWhileAnotherProgramWritesItFailsCleanly)
{
    // The other program writes the file in pieces with plain writes; every
    // read on the way either fails with a message or reads the whole thing.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("growing.cvd"));
    Document doc = smallDocument();
    std::vector<Point> points(50'000);
    for (size_t i = 0; i < points.size(); ++i)
        points[i] = { int32_t(i), -int32_t(i) };
    doc.sheets.page(0).points = points;
    const QByteArray bytes = encoded(doc);
    writeBytes(path, QByteArray());

    std::atomic<bool> done { false };
    std::thread writer([&] {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            for (qsizetype at = 0; at < bytes.size(); at += 4096) {
                file.write(bytes.constData() + at, std::min<qsizetype>(4096, bytes.size() - at));
                file.flush();
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        done = true;
    });
    int reads = 0, failures = 0;
    bool whole = false;
    while (!whole) {
        const bool finished = done.load();
        QStringList told;
        HeadlessDialogs dialogs([&told](const QString& text) { told << text; });
        NullProgress progress;
        Document read;
        read.reset();
        bool ok = false;
        try {
            ok = ReadDocument(path, read, dialogs, progress);
        } catch (const CvgError&) {
            ADD_FAILURE() << "an existing file could not be opened";
        }
        ++reads;
        if (ok) {
            // A read that succeeds has every point.
            ASSERT_EQ(read.sheets.page(0).points, points);
            whole = true;
        } else {
            ++failures;
            ASSERT_EQ(told.size(), 1);
            EXPECT_TRUE(told[0] == kReadFailed
                || told[0] == QStringLiteral("Curvegleaner32のファイル形式ではありません"))
                << told[0].toStdString();
        }
        if (finished && !whole)
            ADD_FAILURE() << "the finished file did not read";
        if (finished)
            break;
    }
    writer.join();
    EXPECT_TRUE(whole);
    EXPECT_GT(reads, 1);
}
