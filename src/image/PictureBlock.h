#pragma once

#include "image/ImageSet.h"

#include <QByteArray>
#include <cstddef>

namespace cvg {

constexpr int kResizeRecordSize = 12;

QByteArray encodeResizeRecord(const ResizeRecord& record);
bool decodeResizeRecord(const uchar* data, size_t size, ResizeRecord& record);

// The document's picture block: the resize record, then one JPEG stream of
// unresizedImage when resized, else of workingImage. False when the picture
// cannot be encoded.
bool encodePictureBlock(const ImageSet& set, const ResizeRecord& record, QByteArray& out);

// Reads the block (the JPEG runs to the end of data): when resized,
// unresizedImage gets the picture and workingImage is rebuilt at the stored
// size; otherwise workingImage gets it. On false (short block, damaged JPEG,
// a resized record with a size no resize can give) set and record are unchanged.
bool decodePictureBlock(const uchar* data, size_t size, ImageSet& set, ResizeRecord& record);

} // namespace cvg
