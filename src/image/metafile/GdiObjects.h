#pragma once

#include <QImage>
#include <QRectF>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace cvg::metafile {

// The drawing objects a metafile creates, selects and deletes, as plain
// values: selecting copies the object into the drawing state, so deleting a
// selected object can never leave a dangling reference.

enum PenStyle : uint32_t {
    kPsSolid = 0,
    kPsDash = 1,
    kPsDot = 2,
    kPsDashDot = 3,
    kPsDashDotDot = 4,
    kPsNull = 5,
    kPsInsideFrame = 6,
    kPsUserStyle = 7,
    kPsAlternate = 8,
    kPsStyleMask = 0x0F,
    kPsEndCapMask = 0x0F00,
    kPsEndCapSquare = 0x0100,
    kPsEndCapFlat = 0x0200,
    kPsJoinMask = 0xF000,
    kPsJoinBevel = 0x1000,
    kPsJoinMiter = 0x2000,
    kPsGeometric = 0x00010000,
};

struct Pen {
    uint32_t style = kPsSolid;
    double width = 0; // logical units; 0 is one device pixel
    QRgb color = qRgb(0, 0, 0);
    bool extended = false; // created by the extended pen record
    std::vector<double> userDashes; // PS_USERSTYLE entries, logical units
};

enum BrushStyle : uint32_t {
    kBsSolid = 0,
    kBsNull = 1,
    kBsHatched = 2,
    kBsPattern = 3,
    kBsDibPattern = 5,
    kBsDibPatternPt = 6,
};

struct Brush {
    uint32_t style = kBsSolid;
    QRgb color = qRgb(255, 255, 255);
    uint32_t hatch = 0;
    QImage pattern; // pattern brushes; a null image draws nothing
    bool monochrome = false; // two-colour pattern drawn in text and background colours
};

struct Font {
    int32_t height = 0; // logical units; negative: character height, positive: cell height
    int32_t width = 0;
    int32_t escapement = 0; // tenths of a degree, counterclockwise
    int32_t weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    uint8_t charSet = 1; // DEFAULT_CHARSET
    uint8_t pitchAndFamily = 0;
    QString faceName;
};

// A region as rectangles in the units it was recorded in.
struct Region {
    std::vector<QRectF> rects;
};

struct Palette { };

using GdiObject = std::variant<Pen, Brush, Font, Region, Palette>;

// Charsets with a meaning for decoding ANSI text.
constexpr uint8_t kShiftJisCharset = 128;

} // namespace cvg::metafile
