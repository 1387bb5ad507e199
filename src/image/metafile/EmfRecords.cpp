// Handlers of the records that need more than one call on the canvas.
#include "image/metafile/EmfRecords.h"

#include "image/metafile/AnsiText.h"
#include "image/metafile/Dib.h"

namespace cvg::metafile::emf {

QTransform xform(const Record& r, size_t off)
{
    return QTransform(
        r.f32(off), r.f32(off + 4), r.f32(off + 8), r.f32(off + 12), r.f32(off + 16), r.f32(off + 20));
}

bool readPoints(const Record& r, size_t off, uint64_t count, bool wide, Canvas& canvas, QPolygonF& out)
{
    const uint64_t size = wide ? 8 : 4;
    if (off > r.n || count > (r.n - off) / size)
        return false;
    if (!canvas.charge(double(count) * 8))
        return false;
    out.clear();
    out.reserve(qsizetype(count));
    for (uint64_t i = 0; i < count; ++i) {
        const size_t at = off + size_t(i * size);
        out.append(wide ? QPointF(r.i32(at), r.i32(at + 4)) : QPointF(r.i16(at), r.i16(at + 2)));
    }
    return true;
}

bool readPolyPoly(const Record& r, bool wide, Canvas& canvas, std::vector<QPolygonF>& out)
{
    if (!r.has(32))
        return false;
    const uint64_t polys = r.u32(24);
    const uint64_t total = r.u32(28);
    if (polys > (r.n - 32) / 4)
        return false;
    const size_t pointsAt = 32 + size_t(polys) * 4;
    QPolygonF all;
    if (!readPoints(r, pointsAt, total, wide, canvas, all))
        return false;
    out.clear();
    uint64_t used = 0;
    for (uint64_t i = 0; i < polys; ++i) {
        const uint64_t count = r.u32(32 + size_t(i) * 4);
        if (count > total - used)
            return false;
        out.push_back(all.mid(qsizetype(used), qsizetype(count)));
        used += count;
    }
    return true;
}

void EmfRecords::store(uint32_t index, GdiObject object)
{
    if (index == 0 || index >= kMaxObjects)
        return;
    if (index >= objects_.size())
        objects_.resize(size_t(index) + 1);
    objects_[index] = std::move(object);
}

std::optional<GdiObject> EmfRecords::object(uint32_t index) const
{
    if (index & kStockFlag)
        return Canvas::stockObject(index & ~kStockFlag);
    if (index < objects_.size())
        return objects_[index];
    return std::nullopt;
}

void EmfRecords::select(uint32_t index)
{
    const std::optional<GdiObject> o = object(index);
    if (!o)
        return;
    if (const Pen* pen = std::get_if<Pen>(&*o))
        canvas_.selectPen(*pen);
    else if (const Brush* brush = std::get_if<Brush>(&*o))
        canvas_.selectBrush(*brush);
    else if (const Font* font = std::get_if<Font>(&*o))
        canvas_.selectFont(*font);
}

void EmfRecords::remove(uint32_t index)
{
    if (!(index & kStockFlag) && index < objects_.size())
        objects_[index].reset();
}

bool EmfRecords::readRegion(const Record& r, size_t off, uint64_t size, Region& out)
{
    // Region data: a 32-byte header (size, type, count, bytes, bounds), then
    // the rectangles.
    if (off > r.n || size > r.n - off || size < 32)
        return false;
    const uint64_t count = r.u32(off + 8);
    if (count > (size - 32) / 16)
        return false;
    out.rects.clear();
    out.rects.reserve(size_t(count));
    for (uint64_t i = 0; i < count; ++i)
        out.rects.push_back(r.box(off + 32 + size_t(i) * 16));
    return canvas_.charge(double(count) * 16);
}

void EmfRecords::createPen(const Record& r)
{
    if (!r.has(28))
        return;
    Pen pen;
    pen.style = r.u32(12);
    pen.width = r.i32(16);
    pen.color = r.color(24);
    store(r.u32(8), pen);
}

void EmfRecords::extCreatePen(const Record& r)
{
    if (!r.has(52))
        return;
    Pen pen;
    pen.extended = true;
    pen.style = r.u32(28);
    pen.width = r.u32(32);
    pen.color = r.color(40);
    if (r.u32(36) == kBsNull)
        pen.style = (pen.style & ~uint32_t(kPsStyleMask)) | kPsNull;
    const uint64_t entries = r.u32(48);
    if ((pen.style & kPsStyleMask) == kPsUserStyle && entries <= (r.n - 52) / 4) {
        // Sixteen entries are all a pattern can have.
        for (uint64_t i = 0; i < std::min<uint64_t>(entries, 16); ++i)
            pen.userDashes.push_back(r.u32(52 + size_t(i) * 4));
    }
    store(r.u32(8), pen);
}

void EmfRecords::createFont(const Record& r)
{
    if (!r.has(104))
        return;
    Font font;
    font.height = r.i32(12);
    font.width = r.i32(16);
    font.escapement = r.i32(20);
    font.weight = r.i32(28);
    font.italic = r.p[32] != 0;
    font.underline = r.p[33] != 0;
    font.strikeOut = r.p[34] != 0;
    font.charSet = r.p[35];
    font.pitchAndFamily = r.p[39];
    QString face;
    for (size_t i = 0; i < 32; ++i) {
        const char16_t c = r.u16(40 + i * 2);
        if (c == 0)
            break;
        face += QChar(c);
    }
    font.faceName = face;
    store(r.u32(8), font);
}

void EmfRecords::createPatternBrush(const Record& r, bool mono)
{
    if (!r.has(32))
        return;
    Brush brush;
    brush.style = kBsDibPatternPt;
    brush.monochrome = mono;
    QImage image;
    if (loadDib(r.p, r.n, r.u32(16), r.u32(20), r.u32(24), r.u32(28), canvas_, image))
        brush.pattern = image;
    store(r.u32(8), brush);
}

void EmfRecords::text(const Record& r, size_t at, bool wide)
{
    // An EMRTEXT block: reference, count, string offset, options, rectangle, spacing offset.
    if (!r.has(uint64_t(at) + 40))
        return;
    const QPointF reference = r.point(at);
    const uint64_t count = r.u32(at + 8);
    const uint64_t stringAt = r.u32(at + 12);
    const uint32_t options = r.u32(at + 16);
    const QRectF rect = r.box(at + 20);
    const uint64_t dxAt = r.u32(at + 36);
    const uint64_t unit = wide ? 2 : 1;
    if (stringAt > r.n || count > (r.n - stringAt) / unit || !canvas_.charge(double(count) * 8))
        return;
    const uint64_t perChar = (options & kEtoPdy) ? 2 : 1;
    std::vector<double> dx;
    if (dxAt != 0 && dxAt <= r.n && count <= (r.n - dxAt) / (4 * perChar)) {
        dx.reserve(size_t(count * perChar));
        for (uint64_t i = 0; i < count * perChar; ++i)
            dx.push_back(r.i32(size_t(dxAt + i * 4)));
    }
    QString string;
    std::vector<double> unitDx;
    if (wide) {
        string.reserve(qsizetype(count));
        for (uint64_t i = 0; i < count; ++i)
            string += QChar(char16_t(r.u16(size_t(stringAt + i * 2))));
        unitDx = dx;
    } else {
        const QByteArray bytes(reinterpret_cast<const char*>(r.p + stringAt), qsizetype(count));
        std::vector<double> byteDx;
        if (perChar == 1)
            byteDx = dx;
        string = decodeAnsi(bytes, canvas_.font().charSet, byteDx, unitDx);
    }
    const bool hasRect = (options & (kEtoOpaque | kEtoClipped)) && !(options & kEtoNoRect);
    canvas_.textOut(reference, string, unitDx, perChar == 2 && wide ? options : options & ~uint32_t(kEtoPdy),
        hasRect ? &rect : nullptr);
}

void EmfRecords::smallText(const Record& r)
{
    if (!r.has(36))
        return;
    const QPointF reference = r.point(8);
    const uint64_t count = r.u32(16);
    const uint32_t options = r.u32(20);
    size_t at = 36;
    QRectF rect;
    const bool hasBounds = !(options & kEtoNoRect);
    if (hasBounds) {
        if (!r.has(52))
            return;
        rect = r.box(36);
        at = 52;
    }
    const bool small = options & kEtoSmallChars;
    const uint64_t unit = small ? 1 : 2;
    if (count > (r.n - at) / unit)
        return;
    QString string;
    for (uint64_t i = 0; i < count; ++i)
        string += QChar(char16_t(small ? r.p[at + i] : r.u16(size_t(at + i * 2))));
    const bool useRect = hasBounds && (options & (kEtoOpaque | kEtoClipped));
    canvas_.textOut(reference, string, {}, options & ~uint32_t(kEtoPdy), useRect ? &rect : nullptr);
}

void EmfRecords::stretchDiBits(const Record& r)
{
    if (!r.has(80))
        return;
    const double xDest = r.i32(24);
    const double yDest = r.i32(28);
    const double xSrc = r.i32(32);
    const double ySrc = r.i32(36);
    const double cxSrc = r.i32(40);
    const double cySrc = r.i32(44);
    const uint32_t rop = r.u32(68);
    const double cxDest = r.i32(72);
    const double cyDest = r.i32(76);
    const QPointF p0(xDest, yDest);
    const QPointF p1(xDest + cxDest, yDest);
    const QPointF p2(xDest, yDest + cyDest);
    if (r.u32(52) == 0) {
        canvas_.patternBlt(QRectF(p0, QSizeF(cxDest, cyDest)), rop);
        return;
    }
    QImage image;
    bool bottomUp = true;
    if (!loadDib(r.p, r.n, r.u32(48), r.u32(52), r.u32(56), r.u32(60), canvas_, image, &bottomUp))
        return;
    // The source rectangle of a bottom-up bitmap is counted from its lower edge.
    const double top = bottomUp ? image.height() - ySrc - cySrc : ySrc;
    canvas_.drawBitmap(p0, p1, p2, image, QRectF(xSrc, top, cxSrc, cySrc), rop);
}

void EmfRecords::setDiBitsToDevice(const Record& r)
{
    if (!r.has(76))
        return;
    const QPointF dest(r.i32(24), r.i32(28));
    const double xSrc = r.i32(32);
    const double ySrc = r.i32(36);
    const double cxSrc = r.i32(40);
    const double cySrc = r.i32(44);
    QImage image;
    bool bottomUp = true;
    if (!loadDib(r.p, r.n, r.u32(48), r.u32(52), r.u32(56), r.u32(60), canvas_, image, &bottomUp))
        return;
    const double top = bottomUp ? image.height() - ySrc - cySrc : ySrc;
    canvas_.drawBitmapUnscaled(dest, QSizeF(cxSrc, cySrc), image, QRectF(xSrc, top, cxSrc, cySrc));
}

void EmfRecords::blt(const Record& r, uint32_t type)
{
    const bool stretch = type != EmrBitBlt;
    if (!r.has(stretch ? 108 : 100))
        return;
    const double xDest = r.i32(24);
    const double yDest = r.i32(28);
    const double cxDest = r.i32(32);
    const double cyDest = r.i32(36);
    const uint32_t rop = r.u32(40);
    const double xSrc = r.i32(44);
    const double ySrc = r.i32(48);
    const uint64_t infoSize = r.u32(88);
    const QPointF p0(xDest, yDest);
    if (infoSize == 0) {
        if (type == EmrBitBlt || type == EmrStretchBlt)
            canvas_.patternBlt(QRectF(p0, QSizeF(cxDest, cyDest)), rop);
        return;
    }
    QImage image;
    if (!loadDib(r.p, r.n, r.u32(84), infoSize, r.u32(92), r.u32(96), canvas_, image))
        return;
    const double cxSrc = stretch ? r.i32(100) : cxDest;
    const double cySrc = stretch ? r.i32(104) : cyDest;
    uint32_t drawRop = rop;
    double opacity = 1.0;
    if (type == EmrAlphaBlend) {
        // Only the constant opacity of the blend counts: the decoded bitmap
        // carries no alpha channel.
        opacity = r.p[42] / 255.0;
        drawRop = 0x00CC0020;
    } else if (type == EmrTransparentBlt) {
        const QRgb key = r.color(40);
        QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < keyed.height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
            for (int x = 0; x < keyed.width(); ++x)
                if ((row[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                    row[x] = 0;
        }
        image = keyed;
        drawRop = 0x00CC0020;
    }
    canvas_.drawBitmap(p0, QPointF(xDest + cxDest, yDest), QPointF(xDest, yDest + cyDest), image,
        QRectF(xSrc, ySrc, cxSrc, cySrc), drawRop, opacity);
}

void EmfRecords::gradientFill(const Record& r)
{
    if (!r.has(36))
        return;
    const uint64_t vertices = r.u32(24);
    const uint64_t meshes = r.u32(28);
    const uint32_t mode = r.u32(32);
    if (vertices > (r.n - 36) / 16)
        return;
    std::vector<Canvas::GradientVertex> v;
    v.reserve(size_t(vertices));
    for (uint64_t i = 0; i < vertices; ++i) {
        const size_t at = 36 + size_t(i) * 16;
        v.push_back({ r.point(at), qRgb(r.u16(at + 8) >> 8, r.u16(at + 10) >> 8, r.u16(at + 12) >> 8) });
    }
    const size_t meshAt = 36 + size_t(vertices) * 16;
    const uint64_t meshSize = mode == 2 ? 12 : 8;
    if (meshes > (r.n - meshAt) / meshSize)
        return;
    for (uint64_t i = 0; i < meshes && !canvas_.failed(); ++i) {
        const size_t at = meshAt + size_t(i * meshSize);
        const uint32_t a = r.u32(at);
        const uint32_t b = r.u32(at + 4);
        if (mode == 2) {
            const uint32_t c = r.u32(at + 8);
            if (a < v.size() && b < v.size() && c < v.size())
                canvas_.gradientTriangle(v[a], v[b], v[c]);
        } else if (a < v.size() && b < v.size()) {
            canvas_.gradientRect(v[a], v[b], mode == 1);
        }
    }
}

} // namespace cvg::metafile::emf
