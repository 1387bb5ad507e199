#pragma once

#include <QImage>
#include <array>
#include <cstdint>

namespace cvg {

// Every picture of the document is 24 bits per pixel without alpha.
constexpr QImage::Format kPictureFormat = QImage::Format_RGB888;

// Pictures larger than this are refused by every reader and by resizing, so
// that a hostile size cannot exhaust memory; 10000 x 10000 still fits.
constexpr int kMaxPictureSide = 32768;
constexpr qint64 kMaxPicturePixels = 10000LL * 10000LL * 2; // 600 MB at 3 bytes a pixel

// True when a picture of w x h pixels may be allocated.
bool pictureSizeAllowed(qint64 width, qint64 height);

// A new white 24-bit picture; a null image when the size is refused or
// memory is short (0 x 0 gives an empty, non-null-checked picture).
QImage newPicture(int width, int height);

// Converts any picture to the document's 24-bit format.
QImage toPictureFormat(const QImage& image);

// The document's pictures.
struct ImageSet {
    QImage workingImage;   // as loaded or as last resized
    QImage unresizedImage; // workingImage before the last accepted resize
    QImage correctedImage; // output of the distortion correction
    QImage overviewImage;  // reduced copy for the overview window
};

// Stored with the document (12 bytes in the file): padding bytes are kept as
// they were read so that they are written back unchanged.
struct ResizeRecord {
    bool resized = false;
    std::array<uint8_t, 3> padding{};
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const ResizeRecord&) const = default;
};

void InitImageSet(ImageSet& set);
void FreeImageSet(ImageSet& set);

// Resamples source onto the whole area of target (whose size is set) by
// nearest neighbour: rows and columns are dropped or repeated, never averaged.
void StretchPicture(const QImage& source, QImage& target);

// workingImage := unresizedImage stretched to the record's width x height.
// False when that size is refused.
bool RebuildWorkingImage(ImageSet& set, const ResizeRecord& record);

} // namespace cvg
