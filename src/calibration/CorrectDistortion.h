#pragma once

#include "calibration/Calibration.h"

#include <QImage>

namespace cvg {

class Dialogs;
class Progress;

// Straightens workingImage by the affine map that the four SourcePoints
// define. On success corrected holds the output and CorrectedPoints the
// mapped points. On failure (collinear points, memory) it shows
// "グラフの歪修正中にエラーが発生しました", corrected holds the output as far as it
// was produced, CorrectedPoints are unchanged, and the result is false.
bool CorrectDistortion(const QImage& workingImage, Calibration& calibration, QImage& corrected,
                       Progress& progress, Dialogs& dialogs);

} // namespace cvg
