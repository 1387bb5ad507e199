#include "worksheet/DocumentFile.h"

#include "calibration/CorrectDistortion.h"
#include "image/PictureBlock.h"
#include "platform/ByteIO.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace cvg {

namespace {

const QString kNotOurFormat = QStringLiteral("Curvegleaner32のファイル形式ではありません");
const QString kReadFailed = QStringLiteral("ファイルの読込に失敗しました");

constexpr uint8_t kMagic[4] = { 3, 'C', 'V', 'D' };
constexpr int kMaxShortText = kShortStringSize - 1;
// Far beyond any document a picture and a million points per page make; a
// larger file is refused before it is read into memory.
constexpr qint64 kMaxDocumentBytes = qint64(4) << 30;
// Every page is a tab with its own grid; a count beyond this comes from a
// damaged file, and making that many pages would keep the reader busy for
// minutes.
constexpr int32_t kMaxPages = 10000;

// A short string: length byte, the text, zeros up to 256 bytes.
void putShortString(QByteArray& out, const QByteArray& text)
{
    const QByteArray cut = cutCp932(text, kMaxShortText);
    putU8(out, uint8_t(cut.size()));
    out.append(cut);
    out.append(QByteArray(kShortStringSize - 1 - cut.size(), '\0'));
}

// The point records of n points: X and Y, 32 bits each, little-endian.
void putPointRecords(uchar* p, const Point* points, size_t n)
{
    for (size_t k = 0; k < n; ++k) {
        storeU32(p, uint32_t(points[k].X));
        storeU32(p + 4, uint32_t(points[k].Y));
        p += kPointRecordSize;
    }
}

// A page's precise positions travel beside the file's whole pixels: the
// record holds the page's point count, the CRC-32 of its point records as
// written, then the two rests (16 bits each, little-endian) of every point.
// A program that changes the page's points without knowing of the record
// leaves a check value that no longer matches, and the page reads as whole
// pixels.
constexpr size_t kFractionHeaderSize = 8;
constexpr size_t kFractionSize = 4;

ExtensionRecord fractionRecord(int pageIndex, const std::vector<Point>& points, uint32_t pointsChecksum)
{
    ExtensionRecord record;
    record.type = ExtensionType::PageFractions;
    record.number = uint32_t(pageIndex);
    QByteArray& out = record.payload;
    putI32(out, int32_t(points.size()));
    putI32(out, int32_t(pointsChecksum));
    out.resize(qsizetype(kFractionHeaderSize + points.size() * kFractionSize));
    uchar* rests = reinterpret_cast<uchar*>(out.data()) + kFractionHeaderSize;
    for (const Point& p : points) {
        storeU16(rests, uint16_t(p.fracX));
        storeU16(rests + 2, uint16_t(p.fracY));
        rests += kFractionSize;
    }
    return record;
}

// Gives a page its rests when the record belongs to the page as read: same
// count, same check value of the point records in the file (`pageCheck`,
// worked out while the picture was decoded), and every rest one that its
// whole pixel can have. Anything else leaves the page whole.
void applyFractions(const ExtensionRecord& record, const std::vector<uint32_t>& pageChecks, Worksheets& sheets)
{
    if (record.type != ExtensionType::PageFractions || record.number >= uint32_t(sheets.pageCount()))
        return;
    WorksheetPage& page = sheets.page(int(record.number));
    std::vector<Point>& points = page.points;
    const size_t n = points.size();
    const uchar* p = reinterpret_cast<const uchar*>(record.payload.constData());
    if (size_t(record.payload.size()) != kFractionHeaderSize + n * kFractionSize || getU32(p) != n)
        return;
    if (getU32(p + 4) != pageChecks[record.number])
        return;
    // One pass: the page was read whole, so a bad rest puts back the zeros
    // of the points before it.
    const uchar* rests = p + kFractionHeaderSize;
    for (size_t k = 0; k < n; ++k) {
        const int16_t fracX = getI16(rests + 4 * k), fracY = getI16(rests + 4 * k + 2);
        if (!IsValidFraction(points[k].X, fracX) || !IsValidFraction(points[k].Y, fracY)) {
            for (size_t j = 0; j < k; ++j)
                points[j].fracX = points[j].fracY = 0;
            return;
        }
        points[k].fracX = fracX;
        points[k].fracY = fracY;
    }
}

// The picture block read on a worker thread, started once its place in the
// file is known; without a thread to be had, the first call that needs it
// reads it in turn. It decodes into copies of the document's pictures, which
// take() hands over only when the block was read. The block's other records
// are handed over as soon as its segments are walked, while the picture is
// still being decoded.
class PictureReading {
public:
    PictureReading(const uchar* data, size_t size, const ImageSet& images, const ResizeRecord& resize)
        : data_(data)
        , size_(size)
        , images_(images)
        , resize_(resize)
    { }
    ~PictureReading()
    {
        if (worker_.joinable())
            worker_.join();
    }
    PictureReading(const PictureReading&) = delete;
    PictureReading& operator=(const PictureReading&) = delete;

    void start()
    {
        try {
            worker_ = std::thread([this] { read(); });
        } catch (const std::system_error&) { }
    }

    // The block's records beside the picture; none when it cannot be read.
    std::vector<ExtensionRecord> records()
    {
        if (!worker_.joinable() && !done_)
            read();
        std::unique_lock lock(mutex_);
        recordsKnown_.wait(lock, [this] { return recordsReady_; });
        return std::move(records_);
    }

    // Waits for the block; false when it cannot be read. What the worker
    // threw is thrown here.
    bool take(ImageSet& images, ResizeRecord& resize)
    {
        if (worker_.joinable())
            worker_.join();
        else if (!done_)
            read();
        if (error_)
            std::rethrow_exception(error_);
        if (!read_)
            return false;
        images = std::move(images_);
        resize = resize_;
        return true;
    }

private:
    void read()
    {
        try {
            read_ = decodePictureBlock(data_, size_, images_, resize_,
                [this](std::vector<ExtensionRecord> found) { publish(std::move(found)); });
        } catch (...) {
            error_ = std::current_exception();
        }
        publish({});
        done_ = true;
    }

    // The first call's records count; later ones only wake the waiter.
    void publish(std::vector<ExtensionRecord> found)
    {
        {
            const std::lock_guard lock(mutex_);
            if (!recordsReady_)
                records_ = std::move(found);
            recordsReady_ = true;
        }
        recordsKnown_.notify_all();
    }

    const uchar* data_;
    size_t size_;
    ImageSet images_;
    ResizeRecord resize_;
    std::mutex mutex_;
    std::condition_variable recordsKnown_;
    bool recordsReady_ = false;
    std::vector<ExtensionRecord> records_;
    bool read_ = false, done_ = false;
    std::exception_ptr error_;
    std::thread worker_;
};

struct PageRecord {
    QByteArray caption; // code page 932
    int32_t pointCount = 0;
};

// Everything but the picture and the correction; false on a short or
// inconsistent file, leaving what was taken over up to the fault. Where each
// page's point records start in the file goes to pointOffsets. Once the page
// table is read and every page's records fit in the file, located() learns
// where the picture block starts, before the point lists are built.
bool decodeTables(ByteReader& in, Document& doc, Progress& progress, std::vector<size_t>& pointOffsets,
    const std::function<void(size_t)>& located)
{
    const int32_t pageCount = doc.header.pageCount();
    if (pageCount < 0 || pageCount > kMaxPages)
        return false;
    // The blocks before the point lists must fit before any page is made.
    const qint64 tables = kPointBlockSize + kScaleBlockSize + qint64(pageCount) * kPageRecordSize;
    if (qint64(in.remaining()) < tables)
        return false;

    ProgressScope scope(progress, 0, pageCount);
    for (int32_t i = 1; i < pageCount; ++i)
        if (!doc.sheets.CreateSheetPage())
            return false;

    Calibration& cal = doc.calibration;
    for (ReferencePoint& ref : cal.SourcePoints)
        if (!in.i32(ref.x) || !in.i32(ref.y) || !in.f64(ref.value))
            return false;
    uint8_t xLog = 0, yLog = 0;
    if (!in.u8(xLog) || !in.u8(yLog) || !in.bytes(cal.scalePadding.data(), cal.scalePadding.size())
        || !in.f64(cal.ScaleX) || !in.f64(cal.ScaleY))
        return false;
    cal.XLog = xLog != 0;
    cal.YLog = yLog != 0;

    std::vector<PageRecord> records(static_cast<size_t>(pageCount));
    for (PageRecord& record : records) {
        const uchar* s = in.current();
        if (!in.skip(kShortStringSize) || !in.i32(record.pointCount))
            return false;
        record.caption = QByteArray(reinterpret_cast<const char*>(s + 1), s[0]);
    }

    size_t pointBytes = 0;
    bool fit = true;
    for (const PageRecord& record : records) {
        fit = fit && record.pointCount >= 0 && record.pointCount <= kMaxPoints
            && (in.remaining() - pointBytes) / kPointRecordSize >= size_t(record.pointCount);
        if (fit)
            pointBytes += size_t(record.pointCount) * kPointRecordSize;
    }
    if (fit)
        located(in.position() + pointBytes);

    pointOffsets.assign(size_t(pageCount), 0);
    for (int32_t i = 0; i < pageCount; ++i) {
        scope.setPosition(i + 1);
        pointOffsets[size_t(i)] = in.position();
        WorksheetPage& page = doc.sheets.page(i);
        const PageRecord& record = records[size_t(i)];
        page.caption = fromCp932(record.caption);
        const int32_t count = record.pointCount;
        if (count < 0 || count > kMaxPoints || in.remaining() / kPointRecordSize < size_t(count))
            return false;
        std::vector<Point> points(static_cast<size_t>(count));
        const uchar* p = in.current();
        for (Point& point : points) {
            point.X = getI32(p);
            point.Y = getI32(p + 4);
            p += kPointRecordSize;
        }
        in.skip(size_t(count) * kPointRecordSize);
        if (!WritePoints(page, std::move(points)))
            return false;
    }
    return true;
}

} // namespace

namespace {

// Hands sink the whole file in order: the tables, every page's point
// records, then the picture block, which the encoder has been making on its
// workers all along. Before the picture block, pointsWritten() runs, so that
// a file can put the records on the disk while the pictures are still being
// encoded. False when the picture cannot be encoded.
bool writeDocumentTo(const Document& doc, PictureBlockEncoder& picture, const ByteSink& sink,
    Progress& progress, const std::function<void()>& pointsWritten)
{
    const Worksheets& sheets = doc.sheets;
    const int pageCount = sheets.pageCount();
    ProgressScope scope(progress, 0, pageCount + 1);

    DocumentHeader header = doc.header;
    std::copy(std::begin(kMagic), std::end(kMagic), header.bytes.begin());
    header.setVersion(DocumentHeader::kCurrentVersion);
    header.setSourceName(cutCp932(toCp932(doc.fileName.fileName), kMaxShortText));
    header.setPageCount(pageCount);
    header.setConverted(doc.calibration.Converted);

    QByteArray tables;
    tables.reserve(
        DocumentHeader::kSize + kPointBlockSize + kScaleBlockSize + qsizetype(pageCount) * kPageRecordSize);
    tables.append(reinterpret_cast<const char*>(header.bytes.data()), DocumentHeader::kSize);

    const Calibration& cal = doc.calibration;
    for (const ReferencePoint& ref : cal.SourcePoints) {
        putI32(tables, ref.x);
        putI32(tables, ref.y);
        putF64(tables, ref.value);
    }
    putU8(tables, cal.XLog ? 1 : 0);
    putU8(tables, cal.YLog ? 1 : 0);
    tables.append(reinterpret_cast<const char*>(cal.scalePadding.data()), qsizetype(cal.scalePadding.size()));
    putF64(tables, cal.ScaleX);
    putF64(tables, cal.ScaleY);

    for (int i = 0; i < pageCount; ++i) {
        const WorksheetPage& page = sheets.page(i);
        putShortString(tables, toCp932(page.caption));
        putI32(tables, PointCount(page));
    }
    sink(tables.constData(), size_t(tables.size()));

    // The point records go out a piece at a time. A page with fractions gets
    // its record, checked against its point records just as they were handed
    // on.
    constexpr size_t kPiece = 8192;
    std::vector<uchar> piece(kPiece * kPointRecordSize);
    std::vector<ExtensionRecord> fractions;
    for (int i = 0; i < pageCount; ++i) {
        const std::vector<Point>& points = ReadPoints(sheets.page(i));
        const bool precise
            = std::any_of(points.begin(), points.end(), [](const Point& p) { return p.hasFraction(); });
        uint32_t crc = 0;
        for (size_t at = 0; at < points.size(); at += kPiece) {
            const size_t n = std::min(kPiece, points.size() - at);
            putPointRecords(piece.data(), points.data() + at, n);
            if (precise)
                crc = checksum(piece.data(), n * kPointRecordSize, crc);
            sink(reinterpret_cast<const char*>(piece.data()), n * kPointRecordSize);
        }
        if (precise)
            fractions.push_back(fractionRecord(i, points, crc));
        scope.setPosition(i + 1);
    }
    pointsWritten();
    if (!picture.finish(fractions, sink))
        return false;
    scope.setPosition(pageCount + 1);
    return true;
}

} // namespace

bool encodeDocument(const Document& doc, QByteArray& out, Progress& progress)
{
    PictureBlockEncoder picture(doc.images, doc.resize);
    if (!picture.hasPicture())
        return false;
    QByteArray bytes;
    const auto append = [&bytes](const char* data, size_t size) { bytes.append(data, qsizetype(size)); };
    if (!writeDocumentTo(doc, picture, append, progress, [] {}))
        return false;
    out = std::move(bytes);
    return true;
}

DocumentReadStatus decodeDocument(
    const QByteArray& bytes, Document& doc, Dialogs& dialogs, Progress& progress)
{
    ByteReader in(bytes);
    if (in.size() < sizeof kMagic || std::memcmp(in.current(), kMagic, sizeof kMagic) != 0)
        return DocumentReadStatus::NotDocument;
    if (!in.has(DocumentHeader::kSize))
        return DocumentReadStatus::Damaged;
    try {
        std::memcpy(doc.header.bytes.data(), in.current(), DocumentHeader::kSize);
        in.skip(DocumentHeader::kSize);
        // The file keeps neither the corrected picture nor the corrected
        // points: the calibration counts as done only once they are rebuilt.
        const bool converted = doc.header.converted();
        doc.calibration.Converted = false;

        // The picture is decoded on a worker while the point lists are built.
        const bool current = doc.header.version() == DocumentHeader::kCurrentVersion;
        const uchar* data = reinterpret_cast<const uchar*>(bytes.constData());
        std::optional<PictureReading> picture;
        const auto located = [&](size_t blockAt) {
            if (current) {
                picture.emplace(data + blockAt, size_t(bytes.size()) - blockAt, doc.images, doc.resize);
                picture->start();
            }
        };
        std::vector<size_t> pointOffsets;
        if (!decodeTables(in, doc, progress, pointOffsets, located))
            return DocumentReadStatus::Damaged;
        doc.sheets.setCurrentIndex(0);
        if (!current)
            return DocumentReadStatus::Read;

        if (!picture)
            picture.emplace(in.current(), in.remaining(), doc.images, doc.resize);
        // The check values that tie fractions to their pages, while the
        // worker decodes the picture.
        std::vector<uint32_t> pageChecks(pointOffsets.size());
        for (size_t i = 0; i < pointOffsets.size(); ++i)
            pageChecks[i] = checksum(data + pointOffsets[i], doc.sheets.page(int(i)).points.size() * kPointRecordSize);
        // The fractions go onto the pages while the worker still decodes
        // the picture; a picture that cannot be read fails the whole file.
        for (const ExtensionRecord& record : picture->records())
            applyFractions(record, pageChecks, doc.sheets);
        if (!picture->take(doc.images, doc.resize))
            return DocumentReadStatus::Damaged;
        if (converted) {
            // Values shown from points that were never mapped would be wrong:
            // a calibration that cannot be recomputed counts as not done.
            doc.calibration.Converted = CorrectDistortion(doc.images.workingImage, doc.calibration,
                                            doc.images.correctedImage, progress, dialogs)
                && ConvertData(doc.calibration);
        }
        doc.state.pictureLoaded = true;
        return DocumentReadStatus::Read;
    } catch (const std::bad_alloc&) {
        return DocumentReadStatus::Damaged;
    }
}

bool ReadDocument(const QString& path, Document& doc, Dialogs& dialogs, Progress& progress)
{
    QString reason;
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxDocumentBytes, &reason);
    if (!bytes)
        throw CvgError(cannotOpenFileText(path, reason));
    doc.fileName.setFromPath(path);
    switch (decodeDocument(*bytes, doc, dialogs, progress)) {
    case DocumentReadStatus::Read:
        doc.state.overwritePath = path;
        return true;
    case DocumentReadStatus::NotDocument:
        dialogs.info(kNotOurFormat);
        return false;
    case DocumentReadStatus::Damaged:
        break;
    }
    dialogs.info(kReadFailed);
    return false;
}

bool WriteDocument(const QString& path, const Document& doc, Progress& progress)
{
    // The pictures are encoded on workers while the rest goes to the file.
    PictureBlockEncoder picture(doc.images, doc.resize);
    if (!picture.hasPicture())
        return false;
    ReplacingFile file(path);
    const auto write = [&file](const char* data, size_t size) { file.write(data, size); };
    if (!writeDocumentTo(doc, picture, write, progress, [&file] { file.syncWritten(); }))
        return false;
    file.commit();
    return true;
}

} // namespace cvg
