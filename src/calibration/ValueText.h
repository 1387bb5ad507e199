#pragma once

#include <QString>

namespace cvg {

// The value text rule, used for every converted value shown or exported:
// at most 15 significant digits, trailing zeros and point dropped, fixed
// notation for decimal exponents -3..15 (0.d1d2... x 10^e), otherwise
// mantissa, "E", exponent without "+" or leading zeros. "." separator.
QString ValueText(double value);

// The same text as ASCII bytes at out; returns the end of what was written.
// The text is at most kMaxValueTextLength bytes, but the writer copies whole
// blocks: out must have room for kValueTextRoom bytes, and what lies past
// the end returned is scratch.
constexpr int kMaxValueTextLength = 22; // "-d.ddddddddddddddE-ddd"
constexpr int kValueTextRoom = 40;
char* WriteValueText(double value, char* out);

// The value entry rule: optional sign, digits with an optional decimal
// point, optional exponent (E or e, optional sign); blanks around allowed.
bool ParseValue(const QString& text, double& value);

} // namespace cvg
