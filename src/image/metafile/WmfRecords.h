#pragma once

// The records of a placeable Windows metafile: their codes, a bounds-checked
// view of one record, and the handlers that turn them into drawing on the
// canvas.
#include "image/metafile/Canvas.h"
#include "platform/ByteIO.h"

#include <optional>
#include <vector>

namespace cvg::metafile::wmf {

constexpr size_t kMaxObjects = 65535;

enum Meta : uint16_t {
    MetaEof = 0x0000,
    MetaSaveDc = 0x001E,
    MetaRealizePalette = 0x0035,
    MetaSetPalEntries = 0x0037,
    MetaCreatePalette = 0x00F7,
    MetaSetBkMode = 0x0102,
    MetaSetMapMode = 0x0103,
    MetaSetRop2 = 0x0104,
    MetaSetPolyFillMode = 0x0106,
    MetaSetStretchBltMode = 0x0107,
    MetaSetTextCharExtra = 0x0108,
    MetaRestoreDc = 0x0127,
    MetaInvertRegion = 0x012A,
    MetaPaintRegion = 0x012B,
    MetaSelectClipRegion = 0x012C,
    MetaSelectObject = 0x012D,
    MetaSetTextAlign = 0x012E,
    MetaDibCreatePatternBrush = 0x0142,
    MetaDeleteObject = 0x01F0,
    MetaCreatePatternBrush = 0x01F9,
    MetaSetBkColor = 0x0201,
    MetaSetTextColor = 0x0209,
    MetaSetWindowOrg = 0x020B,
    MetaSetWindowExt = 0x020C,
    MetaSetViewportOrg = 0x020D,
    MetaSetViewportExt = 0x020E,
    MetaOffsetWindowOrg = 0x020F,
    MetaOffsetViewportOrg = 0x0211,
    MetaLineTo = 0x0213,
    MetaMoveTo = 0x0214,
    MetaOffsetClipRgn = 0x0220,
    MetaFillRegion = 0x0228,
    MetaCreatePenIndirect = 0x02FA,
    MetaCreateFontIndirect = 0x02FB,
    MetaCreateBrushIndirect = 0x02FC,
    MetaCreateBitmapIndirect = 0x02FD,
    MetaPolygon = 0x0324,
    MetaPolyline = 0x0325,
    MetaScaleWindowExt = 0x0410,
    MetaScaleViewportExt = 0x0412,
    MetaExcludeClipRect = 0x0415,
    MetaIntersectClipRect = 0x0416,
    MetaEllipse = 0x0418,
    MetaRectangle = 0x041B,
    MetaPatBlt = 0x041D,
    MetaSetPixel = 0x041F,
    MetaFrameRegion = 0x0429,
    MetaTextOut = 0x0521,
    MetaPolyPolygon = 0x0538,
    MetaRoundRect = 0x061C,
    MetaCreateBitmap = 0x06FE,
    MetaCreateRegion = 0x06FF,
    MetaArc = 0x0817,
    MetaPie = 0x081A,
    MetaChord = 0x0830,
    MetaDibBitBlt = 0x0940,
    MetaExtTextOut = 0x0A32,
    MetaDibStretchBlt = 0x0B41,
    MetaSetDibToDev = 0x0D33,
    MetaStretchDib = 0x0F43,
};

struct Record {
    const uchar* p;
    size_t n;
    bool has(uint64_t bytes) const { return bytes <= n; }
    bool hasWords(uint64_t words) const { return 6 + 2 * words <= n; }
    int16_t w(size_t index) const { return getI16(p + 6 + 2 * index); }
    uint16_t uw(size_t index) const { return getU16(p + 6 + 2 * index); }
    uint32_t dw(size_t index) const { return getU32(p + 6 + 2 * index); }
    QRgb color(size_t index) const
    {
        const uchar* c = p + 6 + 2 * index;
        return qRgb(c[0], c[1], c[2]);
    }
    // Parameters come in reverse order: y before x, bottom-right before top-left.
    QPointF point(size_t index) const { return QPointF(w(index + 1), w(index)); }
    QRectF box(size_t index) const
    {
        return QRectF(QPointF(w(index + 3), w(index + 2)), QPointF(w(index + 1), w(index)));
    }
};

// The object table, and the records whose handling takes more than a call.
class WmfRecords {
public:
    WmfRecords(Canvas& canvas, uint16_t objects)
        : canvas_(canvas)
        , objects_(objects)
    { }
    void play(uint16_t function, const Record& r);

private:
    void store(GdiObject object);
    const GdiObject* object(uint16_t index) const;
    void createFont(const Record& r);
    void createRegion(const Record& r);
    void createDibBrush(const Record& r);
    void textOut(const Record& r);
    void extTextOut(const Record& r);
    void dibBlt(const Record& r, uint16_t function);
    bool dibAt(const Record& r, size_t offset, uint32_t usage, QImage& image, bool& bottomUp);
    bool readPolygon(const Record& r, QPolygonF& out);
    void polyPolygon(const Record& r);

    Canvas& canvas_;
    std::vector<std::optional<GdiObject>> objects_;
};

} // namespace cvg::metafile::wmf
