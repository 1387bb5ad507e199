// libFuzzer entry for the value entry rule and the value text rule. Any text
// is accepted exactly when it has the rule's shape and a finite value; every
// accepted value prints as a text that reads back to it within the 15
// significant digits the text keeps.
#include "calibration/ValueText.h"

#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

namespace {

// Blanks as the entry rule takes them, the ideographic space included.
bool blank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

// The shape of the rule, written independently of the parser. token gets
// the text without its blanks.
bool hasEntryShape(const QString& text, std::string& token)
{
    qsizetype b = 0, e = text.size();
    while (b < e && blank(text[b].unicode()))
        ++b;
    while (e > b && blank(text[e - 1].unicode()))
        --e;
    for (qsizetype i = b; i < e; ++i) {
        if (text[i].unicode() > 0x7f)
            return false;
        token += char(text[i].unicode());
    }
    static const std::regex shape(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    return std::regex_match(token, shape);
}

void checkPrintsBack(double value)
{
    const QString text = cvg::ValueText(value);
    double again = 0;
    if (!cvg::ParseValue(text, again))
        std::abort();
    const double scale = std::max(std::fabs(value), std::fabs(again));
    if (std::fabs(again - value) > scale * 1e-14)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size >= 1 && data[0] == 0 && size >= 9) {
        // Eight raw bytes as a value: every finite value prints and reads back.
        double value = 0;
        std::memcpy(&value, data + 1, sizeof value);
        if (std::isfinite(value) && (value == 0 || std::fabs(value) >= 2.2250738585072014e-308))
            checkPrintsBack(value);
        return 0;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    double value = 0;
    const bool accepted = cvg::ParseValue(text, value);
    std::string token;
    const bool shaped = hasEntryShape(text, token);
    if (accepted && (!shaped || !std::isfinite(value)))
        std::abort();
    if (!accepted) {
        // Only a number beyond the range of float64 may be refused when it
        // has the shape: one too large, or one that would round to zero or
        // lose precision below the smallest normal value.
        if (shaped) {
            const double reference = std::strtod(token.c_str(), nullptr);
            const bool zeroDigits = token.find_first_of("123456789") == std::string::npos
                || token.find_first_of("123456789") > token.find_first_of("eE");
            if (std::isfinite(reference)
                && (reference == 0 ? zeroDigits : std::fabs(reference) >= 2.2250738585072014e-308))
                std::abort();
        }
        return 0;
    }
    checkPrintsBack(value);
    return 0;
}
