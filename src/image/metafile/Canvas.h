#pragma once

#include "image/metafile/GdiObjects.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QTransform>
#include <memory>
#include <optional>
#include <vector>

namespace cvg::metafile {

enum MapMode {
    kMmText = 1,
    kMmLoMetric = 2,
    kMmHiMetric = 3,
    kMmLoEnglish = 4,
    kMmHiEnglish = 5,
    kMmTwips = 6,
    kMmIsotropic = 7,
    kMmAnisotropic = 8,
};

enum RegionMode { kRgnAnd = 1, kRgnOr = 2, kRgnXor = 3, kRgnDiff = 4, kRgnCopy = 5 };

enum TextAlign : uint32_t {
    kTaUpdateCp = 0x01,
    kTaRight = 0x02,
    kTaCenter = 0x06,
    kTaHorizontalMask = 0x06,
    kTaBottom = 0x08,
    kTaBaseline = 0x18,
    kTaVerticalMask = 0x18,
};

enum TextOptions : uint32_t {
    kEtoOpaque = 0x02,
    kEtoClipped = 0x04,
    kEtoGlyphIndex = 0x10,
    kEtoNoRect = 0x100,
    kEtoSmallChars = 0x200,
    kEtoPdy = 0x2000,
};

// The device context a metafile draws through: mapping mode, transforms,
// selected objects, colours and modes, clipping, the current position and
// the path bracket, and the drawing itself with QPainter into the picture.
//
// Every primitive is given in logical units, transformed here to picture
// pixels, cut to a box around the picture and charged to a work budget; when
// the budget is spent the canvas fails and draws nothing more, so a hostile
// file cannot keep the program busy without bound.
class Canvas {
public:
    // deviceToPicture maps the metafile's device units to picture pixels;
    // devicePerMm is the number of device units in a millimetre (for the
    // metric mapping modes).
    Canvas(QImage& picture, const QTransform& deviceToPicture, QSizeF devicePerMm);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool failed() const { return failed_; }
    // Ends painting; the picture holds the result.
    void finish();

    // Mapping.
    void setMapMode(int mode);
    void setWindowOrg(QPointF p);
    void setWindowExt(QSizeF s);
    void setViewportOrg(QPointF p);
    void setViewportExt(QSizeF s);
    void offsetWindowOrg(QPointF d);
    void offsetViewportOrg(QPointF d);
    void scaleWindowExt(double xNum, double xDen, double yNum, double yDen);
    void scaleViewportExt(double xNum, double xDen, double yNum, double yDen);
    void setWorldTransform(const QTransform& t);
    // mode: 1 identity, 2 left multiply, 3 right multiply, 4 set.
    void modifyWorldTransform(const QTransform& t, uint32_t mode);

    void saveDc();
    // Negative: relative to the newest saved state; positive: absolute.
    void restoreDc(int which);

    // Attributes.
    void setBkMode(uint32_t mode) { state_.bkMode = mode; }
    void setBkColor(QRgb c) { state_.bkColor = c; }
    void setTextColor(QRgb c) { state_.textColor = c; }
    void setTextAlign(uint32_t a) { state_.textAlign = a; }
    void setPolyFillMode(uint32_t m) { state_.polyFillMode = m; }
    void setRop2(uint32_t r) { state_.rop2 = r; }
    void setArcDirection(uint32_t d) { state_.arcDirection = d; }
    void setMiterLimit(double m) { state_.miterLimit = m; }
    void setTextCharExtra(int extra) { state_.charExtra = extra; }

    // Objects.
    void selectPen(const Pen& p) { state_.pen = p; }
    void selectBrush(const Brush& b) { state_.brush = b; }
    void selectFont(const Font& f) { state_.font = f; }
    const Font& font() const { return state_.font; }
    const Brush& brush() const { return state_.brush; }
    // The object behind a stock object number (0x80000000 stripped).
    static std::optional<GdiObject> stockObject(uint32_t number);

    // Lines and shapes; points in logical units.
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QPolygonF& points);
    void polylineTo(const QPolygonF& points);
    void polyBezier(const QPolygonF& points);
    void polyBezierTo(const QPolygonF& points);
    // types: the PT_ bytes of a poly-draw record, one a point.
    void polyDraw(const QPolygonF& points, const std::vector<uint8_t>& types);
    void polygon(const QPolygonF& points);
    void polyPolygon(const std::vector<QPolygonF>& rings);
    void polyPolyline(const std::vector<QPolygonF>& lines);
    void rectangle(const QRectF& box);
    void roundRect(const QRectF& box, QSizeF corner);
    void ellipse(const QRectF& box);
    void arc(const QRectF& box, QPointF start, QPointF end);
    void arcTo(const QRectF& box, QPointF start, QPointF end);
    void chord(const QRectF& box, QPointF start, QPointF end);
    void pie(const QRectF& box, QPointF start, QPointF end);
    void angleArc(QPointF center, double radius, double startDeg, double sweepDeg);
    void setPixel(QPointF p, QRgb color);

    // Paths.
    void beginPath();
    void endPath();
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void widenPath();
    void selectClipPath(uint32_t mode);

    // Clipping. Logical rectangles, or device-unit rectangles for a region
    // that the metafile gives in device units.
    void intersectClipRect(const QRectF& r);
    void excludeClipRect(const QRectF& r);
    void offsetClip(QPointF logicalOffset);
    void selectClipRects(const std::vector<QRectF>& rects, bool deviceUnits, uint32_t mode);
    void resetClip();

    // Regions given in logical units.
    void fillRegion(const Region& region, const Brush& brush);
    void frameRegion(const Region& region, const Brush& brush, QSizeF frameSize);
    void invertRegion(const Region& region);

    // Text. dx: the advance after each character in logical units (empty
    // when the file gives none).
    // dx holds one advance (two with kEtoPdy) for each UTF-16 unit of text.
    void textOut(QPointF reference, const QString& text, const std::vector<double>& dx, uint32_t options,
        const QRectF* rect);

    // Raster: the source picture part `source` mapped onto the parallelogram
    // whose corners are the logical points p0 (top-left), p1 (top-right) and
    // p2 (bottom-left); rop is the ternary raster operation.
    void drawBitmap(QPointF p0, QPointF p1, QPointF p2, const QImage& image, const QRectF& source,
        uint32_t rop, double opacity = 1.0);
    // As drawBitmap with the size given in device units (no scaling by the
    // mapping), as the set-bits-to-device records place their bits.
    void drawBitmapUnscaled(QPointF p0, QSizeF deviceSize, const QImage& image, const QRectF& source);
    // A raster operation without a source bitmap on a logical rectangle.
    void patternBlt(const QRectF& box, uint32_t rop);
    // Linear gradient rectangles (vertical when `vertical`) and triangles
    // (filled in the mean colour of their corners).
    struct GradientVertex {
        QPointF point;
        QRgb color;
    };
    void gradientRect(const GradientVertex& a, const GradientVertex& b, bool vertical);
    void gradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c);

    // Charges work that the players do themselves (decoding bitmaps);
    // false once the budget is spent.
    bool charge(double cost);

private:
    struct State {
        int mapMode = kMmText;
        QPointF windowOrg { 0, 0 };
        QPointF viewportOrg { 0, 0 };
        QSizeF windowExt { 1, 1 };
        QSizeF viewportExt { 1, 1 };
        QTransform world;
        Pen pen;
        Brush brush;
        Font font;
        QRgb textColor = qRgb(0, 0, 0);
        QRgb bkColor = qRgb(255, 255, 255);
        uint32_t bkMode = 2; // OPAQUE
        uint32_t polyFillMode = 1; // ALTERNATE
        uint32_t rop2 = 13; // R2_COPYPEN
        uint32_t textAlign = 0;
        uint32_t arcDirection = 1; // counterclockwise
        double miterLimit = 10.0;
        int charExtra = 0;
        QPointF currentPosition { 0, 0 };
        QRegion clip; // picture pixels
    };

    // Transforms.
    QTransform pageTransform() const;
    const QTransform& full() const; // logical -> picture pixels
    void transformChanged() { fullValid_ = false; }
    QPointF toPicture(QPointF p) const { return full().map(p); }
    QPolygonF toPicture(const QPolygonF& p) const { return full().map(p); }
    double linearScale() const; // sqrt(|det|) of the full transform
    QSizeF metricViewportExt(int mode) const;

    // Drawing in picture pixels.
    bool beginDraw(); // applies the clip; false when nothing may be drawn
    QPen devicePen(double& widthOut) const;
    QBrush deviceBrush(bool& drawsOut) const;
    void strokeDevice(const QPainterPath& path);
    void fillDevice(const QPainterPath& path);
    void fillDeviceWith(const QPainterPath& path, const QBrush& brush, QPainter::CompositionMode mode);
    void strokePolygonDevice(const QPolygonF& points, bool closed);
    QPainterPath arcPath(const QRectF& box, QPointF start, QPointF end, int kind, QPointF* endPoint) const;
    QRectF adjustBox(const QRectF& box) const;
    void shapeDevice(const QPainterPath& devicePath, bool fill);
    void addToPath(const QPainterPath& devicePath, bool startFigure);
    bool chargeArea(const QRectF& deviceBounds, double extra = 0);
    QRegion regionFromDevicePath(const QPainterPath& path);
    QRegion regionFromRects(const std::vector<QRectF>& rects, const QTransform& t);
    void combineClip(const QRegion& region, uint32_t mode);
    void drawImageDevice(const QTransform& imageToPicture, const QImage& image, const QRectF& source,
        uint32_t rop, double opacity);
    QTransform textFrame(QPointF reference, double& pixelSize, double& advanceScale) const;

    QImage& picture_;
    QTransform deviceToPicture_;
    QSizeF devicePerMm_;
    std::unique_ptr<QPainter> painter_;
    QRectF pictureRect_;
    QRectF limitBox_;
    double penWidthCap_;
    double budget_;
    bool failed_ = false;

    State state_;
    std::vector<State> saved_;
    mutable QTransform full_;
    mutable bool fullValid_ = false;
    QRegion appliedClip_;
    bool clipApplied_ = false;

    bool inPath_ = false;
    QPainterPath path_; // picture pixels
    bool pathReady_ = false;
};

} // namespace cvg::metafile
