#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace cvg {

class Dialogs;

// Indices of the four reference points, fixed in memory, dialog and file.
enum RefIndex : int { YUpper = 0, YLower = 1, XLeft = 2, XRight = 3 };

struct ReferencePoint {
    int32_t x = 0;   // pixel column
    int32_t y = 0;   // upward y: picture height - row
    double value = 0; // the axis value typed for this point
    bool operator==(const ReferencePoint&) const = default;
};

struct ScreenPoint {
    int32_t x = 0;
    int32_t row = 0; // counted from the top
    bool operator==(const ScreenPoint&) const = default;
};

struct Calibration {
    std::array<ReferencePoint, 4> SourcePoints{};
    std::array<ReferencePoint, 4> CorrectedPoints{};
    std::array<ScreenPoint, 4> ScreenPoints{};
    bool XLog = false;
    bool YLog = false;
    double ScaleX = 0;
    double ScaleY = 0;
    bool Converted = false;
    bool Shared = true;
    bool PointsSpecified = false;
    // The scale block's padding bytes, kept as read so they are written back unchanged.
    std::array<uint8_t, 6> scalePadding{};
};

// The row labels used in messages, by reference index.
extern const char* const kRowLabels[4]; // "上側", "下側", "左側", "右側"

// Checks before execution; shows its own messages. valueTexts are the texts
// of the four value fields (the zero check compares texts, not numbers).
bool ValidateCalibration(const Calibration& cal, const std::array<QString, 4>& valueTexts,
                         Dialogs& dialogs);

// Computes ScaleX and ScaleY from CorrectedPoints. On a logarithm of a
// non-positive value or a zero divisor the scales stay unchanged and the
// result is false.
bool ConvertData(Calibration& cal);

double ConvertX(const Calibration& cal, int32_t x);
double ConvertY(const Calibration& cal, int32_t y);
// The same for a precise position (column, upward y, the centre of a pixel
// at its whole number); a whole number gives bit for bit the result above.
double ConvertX(const Calibration& cal, double x);
double ConvertY(const Calibration& cal, double y);

// Whether two calibrations differ in what a document file keeps of them: the
// reference points on the uncorrected picture, the log flags, the scales and
// Converted.
bool storedCalibrationDiffers(const Calibration& a, const Calibration& b);

// Back to the empty state: SourcePoints and ScreenPoints zero; XLog, YLog,
// PointsSpecified and Converted false; CorrectedPoints, scales and Shared kept.
void ResetCalibration(Calibration& cal);

} // namespace cvg
