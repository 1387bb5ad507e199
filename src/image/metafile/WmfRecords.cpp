// Handlers of the records that need more than one call on the canvas.
#include "image/metafile/WmfRecords.h"

#include "image/metafile/AnsiText.h"
#include "image/metafile/Dib.h"

namespace cvg::metafile::wmf {

void WmfRecords::store(GdiObject object)
{
    // Every new object takes the lowest free slot of the table.
    for (auto& slot : objects_) {
        if (!slot) {
            slot = std::move(object);
            return;
        }
    }
    if (objects_.size() < kMaxObjects)
        objects_.push_back(std::move(object));
}

const GdiObject* WmfRecords::object(uint16_t index) const
{
    if (index < objects_.size() && objects_[index])
        return &*objects_[index];
    return nullptr;
}

void WmfRecords::createFont(const Record& r)
{
    if (!r.hasWords(9)) {
        store(Palette {}); // keeps the slot numbering of the file
        return;
    }
    Font font;
    font.height = r.w(0);
    font.width = r.w(1);
    font.escapement = r.w(2);
    font.weight = r.w(4);
    const uchar* b = r.p + 16;
    font.italic = b[0] != 0;
    font.underline = b[1] != 0;
    font.strikeOut = b[2] != 0;
    font.charSet = b[3];
    font.pitchAndFamily = b[7];
    QByteArray face;
    for (size_t i = 24; i < r.n && i < 24 + 32 && r.p[i] != 0; ++i)
        face.append(char(r.p[i]));
    font.faceName = decodeAnsi(face, font.charSet);
    store(font);
}

void WmfRecords::createRegion(const Record& r)
{
    // Header of 11 words (next, type, count, size, scan count, max scan,
    // bounds), then scans: count, top, bottom, count/2 pairs of left and
    // right, count again.
    Region region;
    if (r.hasWords(11)) {
        const uint64_t scans = r.uw(5);
        size_t at = 6 + 22;
        for (uint64_t s = 0; s < scans; ++s) {
            if (!r.has(uint64_t(at) + 6))
                break;
            const uint64_t count = getU16(r.p + at);
            const double top = getI16(r.p + at + 2);
            const double bottom = getI16(r.p + at + 4);
            const uint64_t pairs = count / 2;
            if (!r.has(uint64_t(at) + 6 + pairs * 4 + 2))
                break;
            for (uint64_t i = 0; i < pairs; ++i) {
                const size_t pair = at + 6 + size_t(i) * 4;
                region.rects.emplace_back(
                    QPointF(getI16(r.p + pair), top), QPointF(getI16(r.p + pair + 2), bottom));
            }
            at += 6 + size_t(pairs) * 4 + 2;
        }
    }
    if (!canvas_.charge(double(region.rects.size()) * 16))
        return;
    store(region);
}

bool WmfRecords::dibAt(const Record& r, size_t offset, uint32_t usage, QImage& image, bool& bottomUp)
{
    if (offset >= r.n)
        return false;
    size_t infoSize = 0;
    if (!packedDibInfoSize(r.p + offset, r.n - offset, usage, infoSize))
        return false;
    return loadDib(
        r.p, r.n, offset, infoSize, offset + infoSize, r.n - offset - infoSize, canvas_, image, &bottomUp);
}

void WmfRecords::createDibBrush(const Record& r)
{
    Brush brush;
    brush.style = kBsDibPatternPt;
    QImage image;
    bool bottomUp = true;
    if (r.hasWords(2) && dibAt(r, 10, r.uw(1), image, bottomUp))
        brush.pattern = image;
    store(brush);
}

void WmfRecords::textOut(const Record& r)
{
    if (!r.hasWords(1))
        return;
    const int count = r.w(0);
    if (count <= 0)
        return;
    const size_t padded = (size_t(count) + 1) & ~size_t(1);
    if (!r.has(8 + uint64_t(padded) + 4))
        return;
    const QByteArray bytes(reinterpret_cast<const char*>(r.p + 8), count);
    const QPointF at(getI16(r.p + 8 + padded + 2), getI16(r.p + 8 + padded));
    canvas_.textOut(at, decodeAnsi(bytes, canvas_.font().charSet), {}, 0, nullptr);
}

void WmfRecords::extTextOut(const Record& r)
{
    if (!r.hasWords(4))
        return;
    const QPointF at(r.w(1), r.w(0));
    const int count = r.w(2);
    const uint32_t options = r.uw(3);
    if (count < 0)
        return;
    const uint64_t padded = (uint64_t(count) + 1) & ~uint64_t(1);
    // The rectangle is there with the opaque or clipped option; some writers
    // put it in always, which the record's length tells.
    bool hasRect = options & (kEtoOpaque | kEtoClipped);
    if (!hasRect) {
        const uint64_t without = 14 + padded;
        const uint64_t with = 22 + padded;
        if ((r.n == with || r.n == with + 2 * uint64_t(count)) && r.n != without
            && r.n != without + 2 * uint64_t(count))
            hasRect = true;
    }
    size_t stringAt = 14;
    QRectF rect;
    if (hasRect) {
        if (!r.has(22))
            return;
        rect = QRectF(QPointF(r.w(4), r.w(5)), QPointF(r.w(6), r.w(7)));
        stringAt = 22;
    }
    if (!r.has(stringAt + uint64_t(count)))
        return;
    const QByteArray bytes(reinterpret_cast<const char*>(r.p + stringAt), count);
    std::vector<double> byteDx;
    const uint64_t dxAt = stringAt + padded;
    if (count > 0 && r.has(dxAt + 2 * uint64_t(count))) {
        for (int i = 0; i < count; ++i)
            byteDx.push_back(getI16(r.p + dxAt + size_t(i) * 2));
    }
    std::vector<double> unitDx;
    const QString text = decodeAnsi(bytes, canvas_.font().charSet, byteDx, unitDx);
    const bool useRect = options & (kEtoOpaque | kEtoClipped);
    canvas_.textOut(at, text, unitDx, options & ~uint32_t(kEtoPdy), useRect ? &rect : nullptr);
}

void WmfRecords::dibBlt(const Record& r, uint16_t function)
{
    // Records without a bitmap are one word longer than their function's
    // high byte says and only paint with the brush.
    const bool noBitmap = r.n == 2 * (uint64_t(function >> 8) + 3);
    QImage image;
    bool bottomUp = true;
    switch (function) {
    case MetaDibBitBlt: {
        if (noBitmap) {
            if (r.hasWords(9))
                canvas_.patternBlt(QRectF(r.w(8), r.w(7), r.w(6), r.w(5)), r.dw(0));
            return;
        }
        if (!r.hasWords(8) || !dibAt(r, 22, 0, image, bottomUp))
            return;
        const double x = r.w(7), y = r.w(6), width = r.w(5), height = r.w(4);
        const double xSrc = r.w(3), ySrc = r.w(2);
        canvas_.drawBitmap(QPointF(x, y), QPointF(x + width, y), QPointF(x, y + height), image,
            QRectF(xSrc, ySrc, width, height), r.dw(0));
        return;
    }
    case MetaDibStretchBlt: {
        if (noBitmap) {
            if (r.hasWords(11))
                canvas_.patternBlt(QRectF(r.w(10), r.w(9), r.w(8), r.w(7)), r.dw(0));
            return;
        }
        if (!r.hasWords(10) || !dibAt(r, 26, 0, image, bottomUp))
            return;
        const double x = r.w(9), y = r.w(8), width = r.w(7), height = r.w(6);
        const double xSrc = r.w(5), ySrc = r.w(4), srcWidth = r.w(3), srcHeight = r.w(2);
        canvas_.drawBitmap(QPointF(x, y), QPointF(x + width, y), QPointF(x, y + height), image,
            QRectF(xSrc, ySrc, srcWidth, srcHeight), r.dw(0));
        return;
    }
    case MetaStretchDib: {
        if (!r.hasWords(11) || !dibAt(r, 28, r.uw(2), image, bottomUp))
            return;
        const double x = r.w(10), y = r.w(9), width = r.w(8), height = r.w(7);
        const double xSrc = r.w(6), ySrc = r.w(5), srcWidth = r.w(4), srcHeight = r.w(3);
        const double top = bottomUp ? image.height() - ySrc - srcHeight : ySrc;
        canvas_.drawBitmap(QPointF(x, y), QPointF(x + width, y), QPointF(x, y + height), image,
            QRectF(xSrc, top, srcWidth, srcHeight), r.dw(0));
        return;
    }
    case MetaSetDibToDev: {
        if (!r.hasWords(9) || !dibAt(r, 24, r.uw(0), image, bottomUp))
            return;
        const double x = r.w(8), y = r.w(7), width = r.w(6), height = r.w(5);
        const double xSrc = r.w(4), ySrc = r.w(3);
        const double top = bottomUp ? image.height() - ySrc - height : ySrc;
        canvas_.drawBitmapUnscaled(
            QPointF(x, y), QSizeF(width, height), image, QRectF(xSrc, top, width, height));
        return;
    }
    default:
        return;
    }
}

bool WmfRecords::readPolygon(const Record& r, QPolygonF& out)
{
    if (!r.hasWords(1))
        return false;
    const int count = r.w(0);
    if (count < 0 || !r.has(8 + uint64_t(count) * 4) || !canvas_.charge(double(count) * 8))
        return false;
    out.clear();
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out.append(QPointF(getI16(r.p + 8 + size_t(i) * 4), getI16(r.p + 10 + size_t(i) * 4)));
    return true;
}

void WmfRecords::polyPolygon(const Record& r)
{
    if (!r.hasWords(1))
        return;
    const uint64_t polys = r.uw(0);
    if (!r.has(8 + polys * 2))
        return;
    const size_t pointsAt = 8 + size_t(polys) * 2;
    std::vector<QPolygonF> rings;
    uint64_t used = 0;
    for (uint64_t i = 0; i < polys; ++i) {
        const uint64_t count = getU16(r.p + 8 + size_t(i) * 2);
        if (!r.has(pointsAt + (used + count) * 4) || !canvas_.charge(double(count) * 8))
            return;
        QPolygonF ring;
        ring.reserve(qsizetype(count));
        for (uint64_t k = 0; k < count; ++k) {
            const size_t at = pointsAt + size_t(used + k) * 4;
            ring.append(QPointF(getI16(r.p + at), getI16(r.p + at + 2)));
        }
        rings.push_back(ring);
        used += count;
    }
    canvas_.polyPolygon(rings);
}

} // namespace cvg::metafile::wmf
