#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace cvg::metafile {

// ANSI text of a metafile is in the code page of the selected font's
// charset: SHIFTJIS_CHARSET is code page 932, and so is DEFAULT_CHARSET, the
// system code page of the Japanese desktops these files come from.
QString decodeAnsi(const QByteArray& bytes, uint8_t charSet);

// The same, carrying the per-byte advances of the file over to the UTF-16
// units of the text: a character's bytes add up on its first unit.
QString decodeAnsi(const QByteArray& bytes, uint8_t charSet, const std::vector<double>& byteAdvances,
    std::vector<double>& unitAdvances);

} // namespace cvg::metafile
