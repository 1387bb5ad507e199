#pragma once

#include "image/ImageSet.h"

#include <QString>
#include <optional>

namespace cvg {

// The fixed factors of the magnification dialog, by list index:
// "1/6倍" .. "1/2倍", "等倍", "2倍" .. "6倍".
constexpr int kFactorCount = 11;
constexpr int kSameSizeFactor = 5;

// The free size fields run from 1 to 10000 pixels.
constexpr int kMinFreeSize = 1;
constexpr int kMaxFreeSize = 10000;

// The caption of factor index i.
QString factorText(int index);

// Factor index i applied to a side: a division drops the remainder. An index
// outside the list leaves the side as it is.
int applyFactor(int index, int size);

// The text of a size field as a 32-bit integer: an optional sign and decimal
// digits, nothing else. Empty when the text is not such a number.
std::optional<int> parseSizeText(const QString& text);

// The keep-ratio rule: the other side for a typed side, otherSize x typed div
// size (product first, remainder dropped towards zero). Empty when size is 0.
std::optional<qint64> ratioSide(qint64 typed, int size, int otherSize);

// Whether a typed size may be made into a picture.
bool freeSizeAllowed(qint64 size);

// workingImage resampled to width x height by nearest neighbour; a null
// picture when that size cannot be made.
QImage resizedPicture(const QImage& working, int width, int height);

// The picture becomes the one being edited: the old one is kept for one step
// of undo and the record remembers the new size.
void AdoptResize(ImageSet& images, ResizeRecord& record, const QImage& picture);

// Back to the picture before the last adopted resize. False (and nothing
// changed) when no resize is in force. The corrected picture is left alone.
bool UndoResize(ImageSet& images, ResizeRecord& record);

} // namespace cvg
