#include "image/metafile/EmfPlayer.h"

#include "image/metafile/EmfRecords.h"

namespace cvg::metafile {

namespace {

using namespace emf;

constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr size_t kMinHeaderSize = 88;

} // namespace

namespace emf {

void EmfRecords::play(uint32_t type, const Record& r)
{
    QPolygonF points;
    std::vector<QPolygonF> polys;
    switch (type) {
    case EmrPolyBezier:
    case EmrPolygon:
    case EmrPolyline:
    case EmrPolyBezierTo:
    case EmrPolylineTo:
    case EmrPolyBezier16:
    case EmrPolygon16:
    case EmrPolyline16:
    case EmrPolyBezierTo16:
    case EmrPolylineTo16: {
        const bool wide = type < EmrPolyBezier16;
        if (!r.has(28) || !readPoints(r, 28, r.u32(24), wide, canvas_, points))
            return;
        switch (wide ? type : type - (EmrPolyBezier16 - EmrPolyBezier)) {
        case EmrPolyBezier:
            canvas_.polyBezier(points);
            break;
        case EmrPolygon:
            canvas_.polygon(points);
            break;
        case EmrPolyline:
            canvas_.polyline(points);
            break;
        case EmrPolyBezierTo:
            canvas_.polyBezierTo(points);
            break;
        default:
            canvas_.polylineTo(points);
            break;
        }
        return;
    }
    case EmrPolyPolyline:
    case EmrPolyPolygon:
    case EmrPolyPolyline16:
    case EmrPolyPolygon16: {
        const bool wide = type == EmrPolyPolyline || type == EmrPolyPolygon;
        if (!readPolyPoly(r, wide, canvas_, polys))
            return;
        if (type == EmrPolyPolygon || type == EmrPolyPolygon16)
            canvas_.polyPolygon(polys);
        else
            canvas_.polyPolyline(polys);
        return;
    }
    case EmrPolyDraw:
    case EmrPolyDraw16: {
        const bool wide = type == EmrPolyDraw;
        if (!r.has(28))
            return;
        const uint64_t count = r.u32(24);
        const uint64_t each = wide ? 9 : 5;
        if (count > (r.n - 28) / each || !readPoints(r, 28, count, wide, canvas_, points))
            return;
        const size_t typesAt = 28 + size_t(count) * (wide ? 8 : 4);
        canvas_.polyDraw(points, std::vector<uint8_t>(r.p + typesAt, r.p + typesAt + count));
        return;
    }
    default:
        break;
    }

    // Records of fixed size: the size each needs is checked first.
    auto need = [&](uint64_t bytes) { return r.has(bytes); };
    switch (type) {
    case EmrSetWindowExtEx:
        if (need(16))
            canvas_.setWindowExt(QSizeF(r.i32(8), r.i32(12)));
        break;
    case EmrSetWindowOrgEx:
        if (need(16))
            canvas_.setWindowOrg(r.point(8));
        break;
    case EmrSetViewportExtEx:
        if (need(16))
            canvas_.setViewportExt(QSizeF(r.i32(8), r.i32(12)));
        break;
    case EmrSetViewportOrgEx:
        if (need(16))
            canvas_.setViewportOrg(r.point(8));
        break;
    case EmrSetPixelV:
        if (need(20))
            canvas_.setPixel(r.point(8), r.color(16));
        break;
    case EmrSetMapMode:
        if (need(12))
            canvas_.setMapMode(r.i32(8));
        break;
    case EmrSetBkMode:
        if (need(12))
            canvas_.setBkMode(r.u32(8));
        break;
    case EmrSetPolyFillMode:
        if (need(12))
            canvas_.setPolyFillMode(r.u32(8));
        break;
    case EmrSetRop2:
        if (need(12))
            canvas_.setRop2(r.u32(8));
        break;
    case EmrSetTextAlign:
        if (need(12))
            canvas_.setTextAlign(r.u32(8));
        break;
    case EmrSetTextColor:
        if (need(12))
            canvas_.setTextColor(r.color(8));
        break;
    case EmrSetBkColor:
        if (need(12))
            canvas_.setBkColor(r.color(8));
        break;
    case EmrOffsetClipRgn:
        if (need(16))
            canvas_.offsetClip(r.point(8));
        break;
    case EmrMoveToEx:
        if (need(16))
            canvas_.moveTo(r.point(8));
        break;
    case EmrExcludeClipRect:
        if (need(24))
            canvas_.excludeClipRect(r.box(8));
        break;
    case EmrIntersectClipRect:
        if (need(24))
            canvas_.intersectClipRect(r.box(8));
        break;
    case EmrScaleViewportExtEx:
        if (need(24))
            canvas_.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        break;
    case EmrScaleWindowExtEx:
        if (need(24))
            canvas_.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        break;
    case EmrSaveDc:
        canvas_.saveDc();
        break;
    case EmrRestoreDc:
        if (need(12))
            canvas_.restoreDc(r.i32(8));
        break;
    case EmrSetWorldTransform:
        if (need(32))
            canvas_.setWorldTransform(xform(r, 8));
        break;
    case EmrModifyWorldTransform:
        if (need(36))
            canvas_.modifyWorldTransform(xform(r, 8), r.u32(32));
        break;
    case EmrSelectObject:
        if (need(12))
            select(r.u32(8));
        break;
    case EmrCreatePen:
        createPen(r);
        break;
    case EmrExtCreatePen:
        extCreatePen(r);
        break;
    case EmrCreateBrushIndirect:
        if (need(24)) {
            Brush brush;
            brush.style = r.u32(12);
            brush.color = r.color(16);
            brush.hatch = r.u32(20);
            if (brush.style != kBsSolid && brush.style != kBsNull && brush.style != kBsHatched)
                brush.style = kBsSolid;
            store(r.u32(8), brush);
        }
        break;
    case EmrCreateMonoBrush:
    case EmrCreateDibPatternBrushPt:
        createPatternBrush(r, type == EmrCreateMonoBrush);
        break;
    case EmrExtCreateFontIndirectW:
        createFont(r);
        break;
    case EmrDeleteObject:
        if (need(12))
            remove(r.u32(8));
        break;
    case EmrAngleArc:
        if (need(28))
            canvas_.angleArc(r.point(8), r.u32(16), r.f32(20), r.f32(24));
        break;
    case EmrEllipse:
        if (need(24))
            canvas_.ellipse(r.box(8));
        break;
    case EmrRectangle:
        if (need(24))
            canvas_.rectangle(r.box(8));
        break;
    case EmrRoundRect:
        if (need(32))
            canvas_.roundRect(r.box(8), QSizeF(r.i32(24), r.i32(28)));
        break;
    case EmrArc:
    case EmrChord:
    case EmrPie:
    case EmrArcTo:
        if (!need(40))
            break;
        if (type == EmrArc)
            canvas_.arc(r.box(8), r.point(24), r.point(32));
        else if (type == EmrChord)
            canvas_.chord(r.box(8), r.point(24), r.point(32));
        else if (type == EmrPie)
            canvas_.pie(r.box(8), r.point(24), r.point(32));
        else
            canvas_.arcTo(r.box(8), r.point(24), r.point(32));
        break;
    case EmrLineTo:
        if (need(16))
            canvas_.lineTo(r.point(8));
        break;
    case EmrSetArcDirection:
        if (need(12))
            canvas_.setArcDirection(r.u32(8));
        break;
    case EmrSetMiterLimit:
        if (need(12))
            canvas_.setMiterLimit(r.u32(8));
        break;
    case EmrBeginPath:
        canvas_.beginPath();
        break;
    case EmrEndPath:
        canvas_.endPath();
        break;
    case EmrCloseFigure:
        canvas_.closeFigure();
        break;
    case EmrFillPath:
        canvas_.fillPath();
        break;
    case EmrStrokeAndFillPath:
        canvas_.strokeAndFillPath();
        break;
    case EmrStrokePath:
        canvas_.strokePath();
        break;
    case EmrFlattenPath: // curves are flattened when drawn
        break;
    case EmrWidenPath:
        canvas_.widenPath();
        break;
    case EmrSelectClipPath:
        if (need(12))
            canvas_.selectClipPath(r.u32(8));
        break;
    case EmrAbortPath:
        canvas_.abortPath();
        break;
    case EmrFillRgn:
    case EmrFrameRgn: {
        const size_t dataAt = type == EmrFillRgn ? 32 : 40;
        Region region;
        if (!need(dataAt) || !readRegion(r, dataAt, r.u32(24), region))
            break;
        const std::optional<GdiObject> o = object(r.u32(28));
        const Brush* brush = o ? std::get_if<Brush>(&*o) : nullptr;
        if (!brush)
            break;
        if (type == EmrFillRgn)
            canvas_.fillRegion(region, *brush);
        else
            canvas_.frameRegion(region, *brush, QSizeF(r.i32(32), r.i32(36)));
        break;
    }
    case EmrInvertRgn:
    case EmrPaintRgn: {
        Region region;
        if (!need(28) || !readRegion(r, 28, r.u32(24), region))
            break;
        if (type == EmrInvertRgn)
            canvas_.invertRegion(region);
        else
            canvas_.fillRegion(region, canvas_.brush());
        break;
    }
    case EmrExtSelectClipRgn: {
        if (!need(16))
            break;
        const uint64_t size = r.u32(8);
        const uint32_t mode = r.u32(12);
        if (size == 0) {
            canvas_.selectClipRects({}, true, mode);
            break;
        }
        Region region;
        if (readRegion(r, 16, size, region))
            canvas_.selectClipRects(region.rects, true, mode);
        break;
    }
    case EmrBitBlt:
    case EmrStretchBlt:
    case EmrAlphaBlend:
    case EmrTransparentBlt:
        blt(r, type);
        break;
    case EmrStretchDiBits:
        stretchDiBits(r);
        break;
    case EmrSetDiBitsToDevice:
        setDiBitsToDevice(r);
        break;
    case EmrExtTextOutA:
    case EmrExtTextOutW:
        text(r, 36, type == EmrExtTextOutW);
        break;
    case EmrPolyTextOutA:
    case EmrPolyTextOutW: {
        if (!need(40))
            break;
        const uint64_t strings = r.u32(36);
        if (strings > (r.n - 40) / 40)
            break;
        for (uint64_t i = 0; i < strings && !canvas_.failed(); ++i)
            text(r, 40 + size_t(i) * 40, type == EmrPolyTextOutW);
        break;
    }
    case EmrSmallTextOut:
        smallText(r);
        break;
    case EmrGradientFill:
        gradientFill(r);
        break;
    default:
        // Comments (EMF+ among them), palettes, colour management and the
        // rest that changes nothing on a picture.
        break;
    }
}

} // namespace emf

bool readEmfHeader(const uchar* data, size_t size, EmfHeader& header)
{
    if (size < kMinHeaderSize)
        return false;
    const uint32_t type = getU32(data);
    const uint32_t recordSize = getU32(data + 4);
    if (type != EmrHeader || getU32(data + 40) != kEmfSignature)
        return false;
    if (recordSize < kMinHeaderSize || recordSize > size)
        return false;
    header.frameLeft = getI32(data + 24);
    header.frameTop = getI32(data + 28);
    header.frameRight = getI32(data + 32);
    header.frameBottom = getI32(data + 36);
    header.handles = getU16(data + 56);
    header.devicePixelsX = getI32(data + 72);
    header.devicePixelsY = getI32(data + 76);
    header.deviceMmX = getI32(data + 80);
    header.deviceMmY = getI32(data + 84);
    return true;
}

bool playEmf(const uchar* data, size_t size, const EmfHeader& header, QImage& picture)
{
    if (header.deviceMmX <= 0 || header.deviceMmY <= 0 || header.devicePixelsX <= 0
        || header.devicePixelsY <= 0)
        return false;
    // Reference-device pixels to picture pixels: the frame's corners land on
    // the picture's first and last pixels.
    const double perMmX = double(header.devicePixelsX) / header.deviceMmX;
    const double perMmY = double(header.devicePixelsY) / header.deviceMmY;
    const double left = header.frameLeft * perMmX / 100.0;
    const double right = header.frameRight * perMmX / 100.0;
    const double top = header.frameTop * perMmY / 100.0;
    const double bottom = header.frameBottom * perMmY / 100.0;
    if (right == left || bottom == top)
        return false;
    const double sx = (picture.width() - 1) / (right - left);
    const double sy = (picture.height() - 1) / (bottom - top);
    const QTransform deviceToPicture(sx, 0, 0, sy, -left * sx, -top * sy);

    Canvas canvas(picture, deviceToPicture, QSizeF(perMmX, perMmY));
    EmfRecords player(canvas, header.handles);
    size_t pos = 0;
    bool first = true;
    while (true) {
        if (size - pos < 8)
            return false; // no end record
        const uint32_t type = getU32(data + pos);
        const uint32_t recordSize = getU32(data + pos + 4);
        if (recordSize < 8 || recordSize % 4 != 0 || recordSize > size - pos)
            return false;
        if (type == EmrEof)
            break;
        if (!first || type != EmrHeader)
            player.play(type, Record { data + pos, recordSize });
        if (canvas.failed())
            return false;
        first = false;
        pos += recordSize;
    }
    canvas.finish();
    return !canvas.failed();
}

} // namespace cvg::metafile
