#pragma once

#include <QByteArray>
#include <QString>

namespace cvg {

// Code page 932 (Shift-JIS, Windows variant), the encoding of texts in
// document files and of ANSI text in metafiles with a Japanese charset.
// Characters the code page cannot hold become "?" so nothing is silently
// dropped to an empty text.
QByteArray toCp932(const QString& text);
// Bytes that are not valid code page 932 decode to U+FFFD.
QString fromCp932(const QByteArray& bytes);

// Cuts code page 932 bytes to at most maxBytes without splitting a
// double-byte character.
QByteArray cutCp932(const QByteArray& bytes, int maxBytes);

} // namespace cvg
