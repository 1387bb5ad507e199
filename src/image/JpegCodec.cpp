#include "image/JpegCodec.h"

#include "image/ImageSet.h"
#include "image/PictureFiles.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

namespace cvg {

namespace {

// A progressive stream may announce any number of scans, each of which costs
// a pass over the whole picture; real files have a dozen or so.
constexpr int kMaxScans = 1000;

// libjpeg reports errors through these callbacks. error_exit jumps back to
// the setjmp of the function that drives libjpeg; that function's frame holds
// no C++ objects, so the jump skips no destructor.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void onOutputMessage(j_common_ptr)
{ }

// A warning (premature end of data, corrupt data) means the picture is not
// what the file should hold: it ends the work at once, as an error does.
void onEmitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0) {
        ++cinfo->err->num_warnings;
        cinfo->err->error_exit(cinfo);
    }
}

void onProgress(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        cinfo->err->msg_code = JERR_BAD_PROGRESSION;
        cinfo->err->error_exit(cinfo);
    }
}

void installErrorManager(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = onErrorExit;
    err.pub.output_message = onOutputMessage;
    err.pub.emit_message = onEmitMessage;
}

// ---- decoding -------------------------------------------------------------

struct DecodeJob {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    const uchar* data;
    size_t size;
    QImage* image; // owned by the caller
};

bool allocatePicture(QImage* image, int width, int height) noexcept
{
    try {
        *image = newPicture(width, height);
        return !image->isNull();
    } catch (...) {
        return false;
    }
}

uchar* pictureRow(QImage* image, int y) noexcept
{
    return image->scanLine(y);
}

void greyRow(const JSAMPLE* in, uchar* out, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        out[0] = out[1] = out[2] = in[x];
        out += 3;
    }
}

inline uchar scaleBy(unsigned a, unsigned b)
{
    return uchar((a * b + 127) / 255);
}

// Adobe writes CMYK inverted (255 = no ink) and libjpeg hands it on as stored.
void cmykRow(const JSAMPLE* in, uchar* out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = scaleBy(c, k);
        out[1] = scaleBy(m, k);
        out[2] = scaleBy(y, k);
        in += 4;
        out += 3;
    }
}

// Drives libjpeg; holds no C++ objects (see ErrorManager).
bool runDecode(DecodeJob* job)
{
    job->cinfo.err = &job->err.pub;
    installErrorManager(job->err);
    if (setjmp(job->err.jump)) {
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    jpeg_create_decompress(&job->cinfo);
    job->progress.progress_monitor = onProgress;
    job->cinfo.progress = &job->progress;
    jpeg_mem_src(&job->cinfo, job->data, static_cast<unsigned long>(job->size));
    jpeg_read_header(&job->cinfo, TRUE);

    J_COLOR_SPACE wanted;
    int components;
    switch (job->cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        wanted = JCS_GRAYSCALE;
        components = 1;
        break;
    case JCS_YCbCr:
    case JCS_RGB:
        wanted = JCS_RGB;
        components = 3;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        wanted = JCS_CMYK;
        components = 4;
        break;
    default:
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    job->cinfo.out_color_space = wanted;
    if (!pictureSizeAllowed(job->cinfo.image_width, job->cinfo.image_height)
        || !allocatePicture(job->image, int(job->cinfo.image_width), int(job->cinfo.image_height))) {
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }

    jpeg_start_decompress(&job->cinfo);
    if (job->cinfo.output_width != job->cinfo.image_width
        || job->cinfo.output_height != job->cinfo.image_height
        || job->cinfo.output_components != components) {
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    const JDIMENSION width = job->cinfo.output_width;
    JSAMPARRAY buffer = nullptr;
    if (components != 3)
        buffer = (*job->cinfo.mem->alloc_sarray)(
            reinterpret_cast<j_common_ptr>(&job->cinfo), JPOOL_IMAGE, width * JDIMENSION(components), 1);
    const bool inverted = job->cinfo.saw_Adobe_marker;
    while (job->cinfo.output_scanline < job->cinfo.output_height) {
        uchar* out = pictureRow(job->image, int(job->cinfo.output_scanline));
        if (components == 3) {
            JSAMPROW row = out;
            jpeg_read_scanlines(&job->cinfo, &row, 1);
        } else {
            jpeg_read_scanlines(&job->cinfo, buffer, 1);
            if (components == 1)
                greyRow(buffer[0], out, width);
            else
                cmykRow(buffer[0], out, width, inverted);
        }
    }
    jpeg_finish_decompress(&job->cinfo);
    const bool clean = job->err.pub.num_warnings == 0;
    jpeg_destroy_decompress(&job->cinfo);
    return clean;
}

// ---- encoding -------------------------------------------------------------

constexpr size_t kChunkSize = 64 * 1024;

// Our own destination: whole chunks are appended to the caller's buffer, so
// nothing libjpeg owns outlives an error.
struct Destination {
    jpeg_destination_mgr pub;
    QByteArray* out;
    JOCTET chunk[kChunkSize];
};

bool appendBytes(QByteArray* out, const JOCTET* bytes, size_t n) noexcept
{
    try {
        out->append(reinterpret_cast<const char*>(bytes), qsizetype(n));
        return true;
    } catch (...) {
        return false;
    }
}

void initDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->pub.next_output_byte = d->chunk;
    d->pub.free_in_buffer = kChunkSize;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    if (!appendBytes(d->out, d->chunk, kChunkSize)) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    d->pub.next_output_byte = d->chunk;
    d->pub.free_in_buffer = kChunkSize;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    if (!appendBytes(d->out, d->chunk, kChunkSize - d->pub.free_in_buffer)) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
}

struct EncodeJob {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    Destination dest;
    const QImage* image; // 24-bit, owned by the caller
    int quality;
};

const uchar* constPictureRow(const QImage* image, int y) noexcept
{
    return image->constScanLine(y);
}

// Drives libjpeg; holds no C++ objects (see ErrorManager).
bool runEncode(EncodeJob* job)
{
    job->cinfo.err = &job->err.pub;
    installErrorManager(job->err);
    if (setjmp(job->err.jump)) {
        jpeg_destroy_compress(&job->cinfo);
        return false;
    }
    jpeg_create_compress(&job->cinfo);
    job->dest.pub.init_destination = initDestination;
    job->dest.pub.empty_output_buffer = emptyOutputBuffer;
    job->dest.pub.term_destination = termDestination;
    job->cinfo.dest = &job->dest.pub;

    job->cinfo.image_width = JDIMENSION(job->image->width());
    job->cinfo.image_height = JDIMENSION(job->image->height());
    job->cinfo.input_components = 3;
    job->cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job->cinfo); // baseline, colour (YCbCr)
    jpeg_set_quality(&job->cinfo, job->quality, TRUE);
    jpeg_start_compress(&job->cinfo, TRUE);
    while (job->cinfo.next_scanline < job->cinfo.image_height) {
        // libjpeg only reads the rows it is given.
        JSAMPROW row = const_cast<JSAMPLE*>(constPictureRow(job->image, int(job->cinfo.next_scanline)));
        jpeg_write_scanlines(&job->cinfo, &row, 1);
    }
    jpeg_finish_compress(&job->cinfo);
    const bool clean = job->err.pub.num_warnings == 0;
    jpeg_destroy_compress(&job->cinfo);
    return clean;
}

} // namespace

bool decodeJpeg(const uchar* data, size_t size, QImage& out)
{
    out = QImage();
    if (!data || size == 0)
        return false;
    QImage picture;
    auto job = std::make_unique<DecodeJob>();
    std::memset(static_cast<void*>(job.get()), 0, sizeof(DecodeJob));
    job->data = data;
    job->size = size;
    job->image = &picture;
    if (!runDecode(job.get()))
        return false;
    out = picture;
    return true;
}

bool encodeJpeg(const QImage& picture, QByteArray& out, int quality)
{
    out.clear();
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        return false;
    const QImage image = toPictureFormat(picture);
    if (image.isNull())
        return false;
    QByteArray bytes;
    auto job = std::make_unique<EncodeJob>();
    std::memset(static_cast<void*>(job.get()), 0, sizeof(EncodeJob));
    job->dest.out = &bytes;
    job->image = &image;
    job->quality = quality;
    if (!runEncode(job.get()))
        return false;
    out = bytes;
    return true;
}

bool LoadJpegPicture(const QString& path, QImage& out)
{
    return loadPictureFile(path, out, [](const QByteArray& bytes, QImage& picture) {
        return decodeJpeg(reinterpret_cast<const uchar*>(bytes.constData()), size_t(bytes.size()), picture);
    });
}

void SaveJpegPicture(const QString& path, const QImage& picture)
{
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        throw CvgError(noPictureToSaveText());
    QByteArray bytes;
    if (!encodeJpeg(picture, bytes))
        throw CvgError(cannotCreateFileText(path, QString()));
    writeFileReplacing(path, bytes);
}

} // namespace cvg
