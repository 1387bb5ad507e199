#pragma once

// The records of an enhanced metafile: their codes, a bounds-checked view of
// one record, and the handlers that turn them into drawing on the canvas.
#include "image/metafile/Canvas.h"
#include "platform/ByteIO.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace cvg::metafile::emf {

constexpr uint32_t kStockFlag = 0x80000000u;
constexpr uint32_t kMaxObjects = 65536;

enum Emr : uint32_t {
    EmrHeader = 1,
    EmrPolyBezier = 2,
    EmrPolygon = 3,
    EmrPolyline = 4,
    EmrPolyBezierTo = 5,
    EmrPolylineTo = 6,
    EmrPolyPolyline = 7,
    EmrPolyPolygon = 8,
    EmrSetWindowExtEx = 9,
    EmrSetWindowOrgEx = 10,
    EmrSetViewportExtEx = 11,
    EmrSetViewportOrgEx = 12,
    EmrEof = 14,
    EmrSetPixelV = 15,
    EmrSetMapMode = 17,
    EmrSetBkMode = 18,
    EmrSetPolyFillMode = 19,
    EmrSetRop2 = 20,
    EmrSetTextAlign = 22,
    EmrSetTextColor = 24,
    EmrSetBkColor = 25,
    EmrOffsetClipRgn = 26,
    EmrMoveToEx = 27,
    EmrExcludeClipRect = 29,
    EmrIntersectClipRect = 30,
    EmrScaleViewportExtEx = 31,
    EmrScaleWindowExtEx = 32,
    EmrSaveDc = 33,
    EmrRestoreDc = 34,
    EmrSetWorldTransform = 35,
    EmrModifyWorldTransform = 36,
    EmrSelectObject = 37,
    EmrCreatePen = 38,
    EmrCreateBrushIndirect = 39,
    EmrDeleteObject = 40,
    EmrAngleArc = 41,
    EmrEllipse = 42,
    EmrRectangle = 43,
    EmrRoundRect = 44,
    EmrArc = 45,
    EmrChord = 46,
    EmrPie = 47,
    EmrLineTo = 54,
    EmrArcTo = 55,
    EmrPolyDraw = 56,
    EmrSetArcDirection = 57,
    EmrSetMiterLimit = 58,
    EmrBeginPath = 59,
    EmrEndPath = 60,
    EmrCloseFigure = 61,
    EmrFillPath = 62,
    EmrStrokeAndFillPath = 63,
    EmrStrokePath = 64,
    EmrFlattenPath = 65,
    EmrWidenPath = 66,
    EmrSelectClipPath = 67,
    EmrAbortPath = 68,
    EmrFillRgn = 71,
    EmrFrameRgn = 72,
    EmrInvertRgn = 73,
    EmrPaintRgn = 74,
    EmrExtSelectClipRgn = 75,
    EmrBitBlt = 76,
    EmrStretchBlt = 77,
    EmrSetDiBitsToDevice = 80,
    EmrStretchDiBits = 81,
    EmrExtCreateFontIndirectW = 82,
    EmrExtTextOutA = 83,
    EmrExtTextOutW = 84,
    EmrPolyBezier16 = 85,
    EmrPolygon16 = 86,
    EmrPolyline16 = 87,
    EmrPolyBezierTo16 = 88,
    EmrPolylineTo16 = 89,
    EmrPolyPolyline16 = 90,
    EmrPolyPolygon16 = 91,
    EmrPolyDraw16 = 92,
    EmrCreateMonoBrush = 93,
    EmrCreateDibPatternBrushPt = 94,
    EmrExtCreatePen = 95,
    EmrPolyTextOutA = 96,
    EmrPolyTextOutW = 97,
    EmrSmallTextOut = 108,
    EmrAlphaBlend = 114,
    EmrTransparentBlt = 116,
    EmrGradientFill = 118,
};

struct Record {
    const uchar* p;
    size_t n;
    bool has(uint64_t bytes) const { return bytes <= n; }
    int32_t i32(size_t off) const { return getI32(p + off); }
    uint32_t u32(size_t off) const { return getU32(p + off); }
    int16_t i16(size_t off) const { return getI16(p + off); }
    uint16_t u16(size_t off) const { return getU16(p + off); }
    float f32(size_t off) const { return getF32(p + off); }
    QPointF point(size_t off) const { return QPointF(i32(off), i32(off + 4)); }
    QRectF box(size_t off) const
    {
        // Left, top, right, bottom; kept as given so that mirrored boxes stay mirrored.
        return QRectF(QPointF(i32(off), i32(off + 4)), QPointF(i32(off + 8), i32(off + 12)));
    }
    QRgb color(size_t off) const { return qRgb(p[off], p[off + 1], p[off + 2]); }
};

// The six numbers of a transform record.
QTransform xform(const Record& r, size_t off);

// `count` points of 32 or 16 bits starting at `off`; false when they do not
// fit or their drawing would exceed the work budget anyway.
bool readPoints(const Record& r, size_t off, uint64_t count, bool wide, Canvas& canvas, QPolygonF& out);

// Poly-polyline and poly-polygon: counts, then all points.
bool readPolyPoly(const Record& r, bool wide, Canvas& canvas, std::vector<QPolygonF>& out);

// The object table, and the records whose handling takes more than a call.
class EmfRecords {
public:
    EmfRecords(Canvas& canvas, uint16_t handles)
        : canvas_(canvas)
        , objects_(std::max<size_t>(handles, 1))
    { }
    void play(uint32_t type, const Record& r);

private:
    void store(uint32_t index, GdiObject object);
    std::optional<GdiObject> object(uint32_t index) const;
    void select(uint32_t index);
    void remove(uint32_t index);
    bool readRegion(const Record& r, size_t off, uint64_t size, Region& out);
    void text(const Record& r, size_t emrText, bool wide);
    void smallText(const Record& r);
    void stretchDiBits(const Record& r);
    void setDiBitsToDevice(const Record& r);
    void blt(const Record& r, uint32_t type);
    void gradientFill(const Record& r);
    void createPen(const Record& r);
    void extCreatePen(const Record& r);
    void createFont(const Record& r);
    void createPatternBrush(const Record& r, bool mono);

    Canvas& canvas_;
    std::vector<std::optional<GdiObject>> objects_;
};

} // namespace cvg::metafile::emf
