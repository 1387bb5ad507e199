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

void putPoints(QByteArray& out, const std::vector<Point>& points)
{
    const qsizetype start = out.size();
    out.resize(start + qsizetype(points.size()) * kPointRecordSize);
    uchar* p = reinterpret_cast<uchar*>(out.data()) + start;
    for (const Point& point : points) {
        const uint32_t x = uint32_t(point.X);
        const uint32_t y = uint32_t(point.Y);
        for (int i = 0; i < 4; ++i) {
            p[i] = uchar(x >> (8 * i));
            p[4 + i] = uchar(y >> (8 * i));
        }
        p += kPointRecordSize;
    }
}

struct PageRecord {
    QByteArray caption; // code page 932
    int32_t pointCount = 0;
};

// Everything but the picture and the correction; false on a short or
// inconsistent file, leaving what was taken over up to the fault.
bool decodeTables(ByteReader& in, Document& doc, Progress& progress)
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

    for (int32_t i = 0; i < pageCount; ++i) {
        scope.setPosition(i + 1);
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

    QByteArray picture;
    if (!encodePictureBlock(doc.images, doc.resize, picture))
        return false;
    scope.setPosition(1);

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
        + qsizetype(pageCount) * kPageRecordSize + pointBytes + picture.size());
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
    for (int i = 0; i < pageCount; ++i) {
        putPoints(bytes, ReadPoints(sheets.page(i)));
        scope.setPosition(i + 2);
    }
    bytes.append(picture);
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

        if (!decodeTables(in, doc, progress))
            return DocumentReadStatus::Damaged;
        doc.sheets.setCurrentIndex(0);
        if (doc.header.version() != DocumentHeader::kCurrentVersion)
            return DocumentReadStatus::Read;

        if (!decodePictureBlock(in.current(), in.remaining(), doc.images, doc.resize))
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
    QByteArray bytes;
    if (!encodeDocument(doc, bytes, progress))
        return false;
    writeFileReplacing(path, bytes);
    return true;
}

} // namespace cvg
