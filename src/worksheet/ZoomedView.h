#pragma once

#include "image/ViewScale.h"
#include "worksheet/PointMarkers.h"

#include <QImage>
#include <vector>

namespace cvg {

// The part `area` (view pixels) of a picture zoomed by `scale`, with the
// marks of every layer drawn at their size on the view. Only that part is
// made: a 10000 x 10000 picture at 1600 % costs the area, not the whole.
// Each view pixel shows the picture pixel scale.toPixel gives for it; view
// pixels beyond the picture are left grey.
QImage renderZoomedView(const QImage& picture, QRect area, const ViewScale& scale,
                        const std::vector<MarkLayer>& layers, int markerSize);

} // namespace cvg
