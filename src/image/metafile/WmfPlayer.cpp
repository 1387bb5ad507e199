#include "image/metafile/WmfPlayer.h"

#include "image/metafile/WmfRecords.h"

namespace cvg::metafile {

namespace {

using namespace wmf;

constexpr size_t kMetaHeaderSize = 18;

} // namespace

namespace wmf {

void WmfRecords::play(uint16_t function, const Record& r)
{
    QPolygonF points;
    switch (function) {
    case MetaSaveDc:
        canvas_.saveDc();
        break;
    case MetaRestoreDc:
        if (r.hasWords(1))
            canvas_.restoreDc(r.w(0));
        break;
    case MetaSetBkMode:
        if (r.hasWords(1))
            canvas_.setBkMode(r.uw(0));
        break;
    case MetaSetMapMode:
        if (r.hasWords(1))
            canvas_.setMapMode(r.w(0));
        break;
    case MetaSetRop2:
        if (r.hasWords(1))
            canvas_.setRop2(r.uw(0));
        break;
    case MetaSetPolyFillMode:
        if (r.hasWords(1))
            canvas_.setPolyFillMode(r.uw(0));
        break;
    case MetaSetTextCharExtra:
        if (r.hasWords(1))
            canvas_.setTextCharExtra(r.w(0));
        break;
    case MetaSetTextAlign:
        if (r.hasWords(1))
            canvas_.setTextAlign(r.uw(0));
        break;
    case MetaSetBkColor:
        if (r.hasWords(2))
            canvas_.setBkColor(r.color(0));
        break;
    case MetaSetTextColor:
        if (r.hasWords(2))
            canvas_.setTextColor(r.color(0));
        break;
    case MetaSetWindowOrg:
        if (r.hasWords(2))
            canvas_.setWindowOrg(r.point(0));
        break;
    case MetaSetWindowExt:
        if (r.hasWords(2))
            canvas_.setWindowExt(QSizeF(r.w(1), r.w(0)));
        break;
    case MetaSetViewportOrg:
        if (r.hasWords(2))
            canvas_.setViewportOrg(r.point(0));
        break;
    case MetaSetViewportExt:
        if (r.hasWords(2))
            canvas_.setViewportExt(QSizeF(r.w(1), r.w(0)));
        break;
    case MetaOffsetWindowOrg:
        if (r.hasWords(2))
            canvas_.offsetWindowOrg(r.point(0));
        break;
    case MetaOffsetViewportOrg:
        if (r.hasWords(2))
            canvas_.offsetViewportOrg(r.point(0));
        break;
    case MetaScaleWindowExt:
        if (r.hasWords(4))
            canvas_.scaleWindowExt(r.w(3), r.w(2), r.w(1), r.w(0));
        break;
    case MetaScaleViewportExt:
        if (r.hasWords(4))
            canvas_.scaleViewportExt(r.w(3), r.w(2), r.w(1), r.w(0));
        break;
    case MetaLineTo:
        if (r.hasWords(2))
            canvas_.lineTo(r.point(0));
        break;
    case MetaMoveTo:
        if (r.hasWords(2))
            canvas_.moveTo(r.point(0));
        break;
    case MetaOffsetClipRgn:
        if (r.hasWords(2))
            canvas_.offsetClip(r.point(0));
        break;
    case MetaExcludeClipRect:
        if (r.hasWords(4))
            canvas_.excludeClipRect(r.box(0));
        break;
    case MetaIntersectClipRect:
        if (r.hasWords(4))
            canvas_.intersectClipRect(r.box(0));
        break;
    case MetaEllipse:
        if (r.hasWords(4))
            canvas_.ellipse(r.box(0));
        break;
    case MetaRectangle:
        if (r.hasWords(4))
            canvas_.rectangle(r.box(0));
        break;
    case MetaRoundRect:
        if (r.hasWords(6))
            canvas_.roundRect(r.box(2), QSizeF(r.w(1), r.w(0)));
        break;
    case MetaPatBlt:
        if (r.hasWords(6))
            canvas_.patternBlt(QRectF(r.w(5), r.w(4), r.w(3), r.w(2)), r.dw(0));
        break;
    case MetaSetPixel:
        if (r.hasWords(4))
            canvas_.setPixel(r.point(2), r.color(0));
        break;
    case MetaArc:
    case MetaPie:
    case MetaChord:
        if (!r.hasWords(8))
            break;
        if (function == MetaArc)
            canvas_.arc(r.box(4), r.point(2), r.point(0));
        else if (function == MetaPie)
            canvas_.pie(r.box(4), r.point(2), r.point(0));
        else
            canvas_.chord(r.box(4), r.point(2), r.point(0));
        break;
    case MetaPolygon:
        if (readPolygon(r, points))
            canvas_.polygon(points);
        break;
    case MetaPolyline:
        if (readPolygon(r, points))
            canvas_.polyline(points);
        break;
    case MetaPolyPolygon:
        polyPolygon(r);
        break;
    case MetaSelectObject:
        if (r.hasWords(1)) {
            const GdiObject* o = object(r.uw(0));
            if (!o)
                break;
            if (const Pen* pen = std::get_if<Pen>(o))
                canvas_.selectPen(*pen);
            else if (const Brush* brush = std::get_if<Brush>(o))
                canvas_.selectBrush(*brush);
            else if (const Font* font = std::get_if<Font>(o))
                canvas_.selectFont(*font);
        }
        break;
    case MetaSelectClipRegion:
        if (r.hasWords(1)) {
            const GdiObject* o = object(r.uw(0));
            if (const Region* region = o ? std::get_if<Region>(o) : nullptr)
                canvas_.selectClipRects(region->rects, true, kRgnCopy);
        }
        break;
    case MetaDeleteObject:
        if (r.hasWords(1) && r.uw(0) < objects_.size())
            objects_[r.uw(0)].reset();
        break;
    case MetaCreatePenIndirect: {
        Pen pen;
        if (r.hasWords(5)) {
            pen.style = r.uw(0);
            pen.width = r.w(1);
            pen.color = r.color(3);
        }
        store(pen);
        break;
    }
    case MetaCreateBrushIndirect: {
        Brush brush;
        if (r.hasWords(4)) {
            brush.style = r.uw(0);
            brush.color = r.color(1);
            brush.hatch = r.uw(3);
            if (brush.style != kBsSolid && brush.style != kBsNull && brush.style != kBsHatched)
                brush.style = kBsSolid;
        }
        store(brush);
        break;
    }
    case MetaCreateFontIndirect:
        createFont(r);
        break;
    case MetaCreateRegion:
        createRegion(r);
        break;
    case MetaDibCreatePatternBrush:
        createDibBrush(r);
        break;
    case MetaCreatePalette:
    case MetaCreatePatternBrush:
    case MetaCreateBitmap:
    case MetaCreateBitmapIndirect:
        // Objects we do not draw with still take their slot.
        store(Palette {});
        break;
    case MetaFillRegion:
    case MetaFrameRegion:
        if (r.hasWords(2)) {
            const GdiObject* rg = object(r.uw(0));
            const GdiObject* br = object(r.uw(1));
            const Region* region = rg ? std::get_if<Region>(rg) : nullptr;
            const Brush* brush = br ? std::get_if<Brush>(br) : nullptr;
            if (!region || !brush)
                break;
            if (function == MetaFillRegion)
                canvas_.fillRegion(*region, *brush);
            else if (r.hasWords(4))
                canvas_.frameRegion(*region, *brush, QSizeF(r.w(3), r.w(2)));
        }
        break;
    case MetaInvertRegion:
    case MetaPaintRegion:
        if (r.hasWords(1)) {
            const GdiObject* rg = object(r.uw(0));
            const Region* region = rg ? std::get_if<Region>(rg) : nullptr;
            if (!region)
                break;
            if (function == MetaInvertRegion)
                canvas_.invertRegion(*region);
            else
                canvas_.fillRegion(*region, canvas_.brush());
        }
        break;
    case MetaTextOut:
        textOut(r);
        break;
    case MetaExtTextOut:
        extTextOut(r);
        break;
    case MetaDibBitBlt:
    case MetaDibStretchBlt:
    case MetaStretchDib:
    case MetaSetDibToDev:
        dibBlt(r, function);
        break;
    default:
        // Escapes, palettes and the records that change nothing on a picture.
        break;
    }
}

} // namespace wmf

bool readPlaceableHeader(const uchar* data, size_t size, PlaceableHeader& header)
{
    if (size < kPlaceableHeaderSize + kMetaHeaderSize)
        return false;
    if (getU32(data) != kPlaceableKey)
        return false;
    uint16_t checksum = 0;
    for (size_t i = 0; i < 10; ++i)
        checksum ^= getU16(data + 2 * i);
    if (checksum != getU16(data + 20))
        return false;
    // The Windows metafile header: memory (1) or disk (2), nine words long.
    const uint16_t type = getU16(data + 22);
    const uint16_t headerWords = getU16(data + 24);
    if ((type != 1 && type != 2) || headerWords != 9)
        return false;
    header.left = getI16(data + 6);
    header.top = getI16(data + 8);
    header.right = getI16(data + 10);
    header.bottom = getI16(data + 12);
    header.unitsPerInch = getU16(data + 14);
    return true;
}

bool playWmf(const uchar* data, size_t size, const PlaceableHeader& header, QImage& picture)
{
    const double width = double(header.right) - header.left;
    const double height = double(header.bottom) - header.top;
    if (width == 0 || height == 0)
        return false;
    // Metafile units to picture pixels: the bounding box's corners land on
    // the picture's first and last pixels.
    const double sx = (picture.width() - 1) / width;
    const double sy = (picture.height() - 1) / height;
    const QTransform deviceToPicture(sx, 0, 0, sy, -header.left * sx, -header.top * sy);
    const double perMm = (header.unitsPerInch == 0 ? 96.0 : header.unitsPerInch) / 25.4;

    Canvas canvas(picture, deviceToPicture, QSizeF(perMm, perMm));
    // The file's window maps onto the bounding box unless it says otherwise.
    canvas.setMapMode(kMmAnisotropic);
    canvas.setWindowOrg(QPointF(header.left, header.top));
    canvas.setWindowExt(QSizeF(width, height));
    canvas.setViewportOrg(QPointF(header.left, header.top));
    canvas.setViewportExt(QSizeF(width, height));

    WmfRecords player(canvas, getU16(data + kPlaceableHeaderSize + 10));
    size_t pos = kPlaceableHeaderSize + kMetaHeaderSize;
    while (true) {
        if (size - pos < 6)
            return false; // no end record
        const uint64_t recordSize = uint64_t(getU32(data + pos)) * 2;
        const uint16_t function = getU16(data + pos + 4);
        if (recordSize < 6 || recordSize > size - pos)
            return false;
        if (function == MetaEof)
            break;
        player.play(function, Record { data + pos, size_t(recordSize) });
        if (canvas.failed())
            return false;
        pos += size_t(recordSize);
    }
    canvas.finish();
    return !canvas.failed();
}

} // namespace cvg::metafile
