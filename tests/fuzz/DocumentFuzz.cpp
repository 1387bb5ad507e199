// libFuzzer entry: any bytes through the document reader, our APP15 segments
// (the lossless picture copy, the pages' fractions) among them. What reads
// must write again, and the written file must read back to the same pages,
// fractions included, and to the same picture, pixel for pixel.
#include "platform/HeadlessDialogs.h"
#include "image/ImageSet.h"
#include "platform/Dialogs.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentFile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using SilentDialogs = cvg::HeadlessDialogs;


bool samePages(const cvg::Document& a, const cvg::Document& b)
{
    if (a.sheets.pageCount() != b.sheets.pageCount())
        return false;
    for (int i = 0; i < a.sheets.pageCount(); ++i)
        if (a.sheets.page(i).points != b.sheets.page(i).points)
            return false;
    // Values compared bit for bit: a NaN read from the file must come back as NaN.
    for (size_t i = 0; i < 4; ++i) {
        const cvg::ReferencePoint& p = a.calibration.SourcePoints[i];
        const cvg::ReferencePoint& q = b.calibration.SourcePoints[i];
        if (p.x != q.x || p.y != q.y || std::memcmp(&p.value, &q.value, sizeof p.value) != 0)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    SilentDialogs dialogs;
    cvg::NullProgress progress;
    cvg::Document doc;
    doc.reset();
    if (cvg::decodeDocument(bytes, doc, dialogs, progress) != cvg::DocumentReadStatus::Read)
        return 0;
    for (int i = 0; i < doc.sheets.pageCount(); ++i)
        if (doc.sheets.page(i).points.size() > size_t(cvg::kMaxPoints))
            std::abort();
    if (!doc.state.pictureLoaded)
        return 0;
    const QImage& picture = doc.resize.resized ? doc.images.unresizedImage : doc.images.workingImage;
    if (picture.format() != cvg::kPictureFormat)
        std::abort();
    // Re-encoding is costly on large pictures; small ones are enough.
    if (qint64(picture.width()) * picture.height() > 256 * 256)
        return 0;
    QByteArray written;
    if (!cvg::encodeDocument(doc, written, progress))
        return 0; // a picture the encoder refuses (an empty one): nothing written
    cvg::Document again;
    again.reset();
    if (cvg::decodeDocument(written, again, dialogs, progress) != cvg::DocumentReadStatus::Read
        || !samePages(doc, again))
        std::abort();
    const QImage& reread = again.resize.resized ? again.images.unresizedImage : again.images.workingImage;
    if (reread != picture)
        std::abort();
    return 0;
}
