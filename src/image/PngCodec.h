#pragma once

#include <QByteArray>
#include <QImage>
#include <cstddef>

namespace cvg {

// The document's lossless copy of its picture, as a PNG made for speed
// rather than size: every row Up-filtered, one deflate stream whose matches
// look back one byte, one pixel and one row, coded with the fixed Huffman
// codes. A flat graph shrinks to a few percent of its pixels; a noisy scan
// stays about as large as its pixels. Any PNG reader reads it.
// False for an empty picture or when memory runs out; never throws, so it
// may run on a thread of its own.
bool encodePng(const QImage& picture, QByteArray& out) noexcept;

// Reads an 8-bit RGB PNG without interlacing (what encodePng writes, with any
// of the five row filters) into a 24-bit picture. Every length, checksum and
// size is checked before use; anything else is refused (false, out null).
// Picture files go through the general picture readers instead.
bool decodePng(const uchar* data, size_t size, QImage& out);

} // namespace cvg
