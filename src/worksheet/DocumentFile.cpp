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
#include <cstring>
#include <new>

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
        const uint32_t x = uint32_t(points[k].X);
        const uint32_t y = uint32_t(points[k].Y);
        for (int i = 0; i < 4; ++i) {
            p[i] = uchar(x >> (8 * i));
            p[4 + i] = uchar(y >> (8 * i));
        }
        p += kPointRecordSize;
    }
}

void putPoints(QByteArray& out, const std::vector<Point>& points)
{
    const qsizetype start = out.size();
    out.resize(start + qsizetype(points.size()) * kPointRecordSize);
    putPointRecords(reinterpret_cast<uchar*>(out.data()) + start, points.data(), points.size());
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
        const uint16_t x = uint16_t(p.fracX), y = uint16_t(p.fracY);
        rests[0] = uchar(x);
        rests[1] = uchar(x >> 8);
        rests[2] = uchar(y);
        rests[3] = uchar(y >> 8);
        rests += kFractionSize;
    }
    return record;
}

// Gives a page its rests when the record belongs to the page as read: same
// count, same check value of the point records in the file, and every rest
// one that its whole pixel can have. Anything else leaves the page whole.
void applyFractions(const ExtensionRecord& record, const QByteArray& file, const std::vector<size_t>& pointOffsets,
    Worksheets& sheets)
{
    if (record.type != ExtensionType::PageFractions || record.number >= uint32_t(sheets.pageCount()))
        return;
    WorksheetPage& page = sheets.page(int(record.number));
    std::vector<Point>& points = page.points;
    const size_t n = points.size();
    const uchar* p = reinterpret_cast<const uchar*>(record.payload.constData());
    if (size_t(record.payload.size()) != kFractionHeaderSize + n * kFractionSize || getU32(p) != n)
        return;
    const uchar* records = reinterpret_cast<const uchar*>(file.constData()) + pointOffsets[record.number];
    if (getU32(p + 4) != checksum(records, n * kPointRecordSize))
        return;
    const uchar* rests = p + kFractionHeaderSize;
    for (size_t k = 0; k < n; ++k)
        if (!IsValidFraction(points[k].X, getI16(rests + 4 * k)) || !IsValidFraction(points[k].Y, getI16(rests + 4 * k + 2)))
            return;
    for (size_t k = 0; k < n; ++k) {
        points[k].fracX = getI16(rests + 4 * k);
        points[k].fracY = getI16(rests + 4 * k + 2);
    }
}

struct PageRecord {
    QByteArray caption; // code page 932
    int32_t pointCount = 0;
};

// Everything but the picture and the correction; false on a short or
// inconsistent file, leaving what was taken over up to the fault. Where each
// page's point records start in the file goes to pointOffsets.
bool decodeTables(ByteReader& in, Document& doc, Progress& progress, std::vector<size_t>& pointOffsets)
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

bool encodeDocument(const Document& doc, QByteArray& out, Progress& progress)
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

    qint64 pointBytes = 0;
    for (int i = 0; i < pageCount; ++i)
        pointBytes += qint64(PointCount(sheets.page(i))) * kPointRecordSize;

    QByteArray bytes;
    bytes.reserve(DocumentHeader::kSize + kPointBlockSize + kScaleBlockSize
        + qsizetype(pageCount) * kPageRecordSize + pointBytes + kResizeRecordSize);
    bytes.append(reinterpret_cast<const char*>(header.bytes.data()), DocumentHeader::kSize);

    const Calibration& cal = doc.calibration;
    for (const ReferencePoint& ref : cal.SourcePoints) {
        putI32(bytes, ref.x);
        putI32(bytes, ref.y);
        putF64(bytes, ref.value);
    }
    putU8(bytes, cal.XLog ? 1 : 0);
    putU8(bytes, cal.YLog ? 1 : 0);
    bytes.append(reinterpret_cast<const char*>(cal.scalePadding.data()), qsizetype(cal.scalePadding.size()));
    putF64(bytes, cal.ScaleX);
    putF64(bytes, cal.ScaleY);

    for (int i = 0; i < pageCount; ++i) {
        const WorksheetPage& page = sheets.page(i);
        putShortString(bytes, toCp932(page.caption));
        putI32(bytes, PointCount(page));
    }
    // A page with fractions gets its record, checked against its point
    // records just as they stand in the file.
    std::vector<ExtensionRecord> fractions;
    for (int i = 0; i < pageCount; ++i) {
        const std::vector<Point>& points = ReadPoints(sheets.page(i));
        const qsizetype start = bytes.size();
        putPoints(bytes, points);
        if (std::any_of(points.begin(), points.end(), [](const Point& p) { return p.hasFraction(); })) {
            const uchar* records = reinterpret_cast<const uchar*>(bytes.constData()) + start;
            fractions.push_back(fractionRecord(i, points, checksum(records, size_t(bytes.size() - start))));
        }
        scope.setPosition(i + 1);
    }
    QByteArray picture;
    if (!encodePictureBlock(doc.images, doc.resize, picture, std::move(fractions)))
        return false;
    bytes.append(picture);
    scope.setPosition(pageCount + 1);
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

        std::vector<size_t> pointOffsets;
        if (!decodeTables(in, doc, progress, pointOffsets))
            return DocumentReadStatus::Damaged;
        doc.sheets.setCurrentIndex(0);
        if (doc.header.version() != DocumentHeader::kCurrentVersion)
            return DocumentReadStatus::Read;

        std::vector<ExtensionRecord> records;
        if (!decodePictureBlock(in.current(), in.remaining(), doc.images, doc.resize, &records))
            return DocumentReadStatus::Damaged;
        for (const ExtensionRecord& record : records)
            applyFractions(record, bytes, pointOffsets, doc.sheets);
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
    QByteArray bytes;
    if (!encodeDocument(doc, bytes, progress))
        return false;
    writeFileReplacing(path, bytes);
    return true;
}

} // namespace cvg
