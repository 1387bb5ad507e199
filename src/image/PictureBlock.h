#pragma once

#include "image/ImageSet.h"
#include "image/JpegExtensions.h"

#include <QByteArray>
#include <cstddef>
#include <vector>

namespace cvg {

constexpr int kResizeRecordSize = 12;

QByteArray encodeResizeRecord(const ResizeRecord& record);
bool decodeResizeRecord(const uchar* data, size_t size, ResizeRecord& record);

// The document's picture block: the resize record, then one JPEG stream of
// the stored picture (unresizedImage when resized, else workingImage). Inside
// the stream, as extension records, travel a lossless copy of that picture
// and the given records; without them the bytes are exactly the record and
// the JPEG. False when the picture cannot be encoded.
bool encodePictureBlock(const ImageSet& set, const ResizeRecord& record, QByteArray& out,
    std::vector<ExtensionRecord> records = {});

// Reads the block (the JPEG runs to the end of data): when resized,
// unresizedImage gets the picture and workingImage is rebuilt at the stored
// size; otherwise workingImage gets it. The picture is the lossless copy when
// the stream carries one made for this very JPEG, else the decoded JPEG. The
// other extension records go to records when it is given. On false (short
// block, damaged JPEG, a resized record with a size no resize can give) set,
// record and records are unchanged.
bool decodePictureBlock(const uchar* data, size_t size, ImageSet& set, ResizeRecord& record,
    std::vector<ExtensionRecord>* records = nullptr);

} // namespace cvg
