#pragma once

#include "image/ImageSet.h"
#include "image/JpegExtensions.h"

#include <QByteArray>
#include <cstddef>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

namespace cvg {

constexpr int kResizeRecordSize = 12;

QByteArray encodeResizeRecord(const ResizeRecord& record);
bool decodeResizeRecord(const uchar* data, size_t size, ResizeRecord& record);

// The document's picture block: the resize record, then one JPEG stream of
// the stored picture (unresizedImage when resized, else workingImage). Inside
// the stream, as extension records, travel a lossless copy of that picture
// and the given records; without them the bytes are exactly the record and
// the JPEG.
//
// The encoder starts on worker threads as soon as it is made, the JPEG on
// one and the lossless copy on another, so that the caller can write the
// rest of the file meanwhile; it waits for them when finished or destroyed.
class PictureBlockEncoder {
public:
    PictureBlockEncoder(const ImageSet& set, const ResizeRecord& record);
    ~PictureBlockEncoder();
    PictureBlockEncoder(const PictureBlockEncoder&) = delete;
    PictureBlockEncoder& operator=(const PictureBlockEncoder&) = delete;

    // False for an empty picture, which no encoder takes.
    bool hasPicture() const;
    // Waits for the pictures and hands the block to sink. False when the
    // picture cannot be encoded; then nothing is handed on.
    bool finish(const std::vector<ExtensionRecord>& records, const ByteSink& sink);

private:
    void wait();

    ResizeRecord record_;
    QImage picture_;
    QByteArray jpeg_, png_;
    bool encoded_ = false, copied_ = false;
    std::exception_ptr jpegError_, pngError_;
    std::thread jpegWorker_, pngWorker_;
};

// The whole block in memory. False (out empty) when the picture cannot be
// encoded.
bool encodePictureBlock(const ImageSet& set, const ResizeRecord& record, QByteArray& out,
    const std::vector<ExtensionRecord>& records = {});

// Reads the block (the JPEG runs to the end of data): when resized,
// unresizedImage gets the picture and workingImage is rebuilt at the stored
// size; otherwise workingImage gets it. The picture is the lossless copy when
// the stream carries one made for this very JPEG, else the decoded JPEG. The
// other extension records go to found, once the block's segments are walked
// and before the picture is decoded, so that a caller on another thread can
// use them meanwhile; found is not called for a block too short to hold the
// resize record. On false (short block, damaged JPEG, a resized record with a
// size no resize can give) set and record are unchanged.
using ExtensionsFound = std::function<void(std::vector<ExtensionRecord>)>;
bool decodePictureBlock(const uchar* data, size_t size, ImageSet& set, ResizeRecord& record,
    const ExtensionsFound& found = {});

} // namespace cvg
