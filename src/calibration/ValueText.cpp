#include "calibration/ValueText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace cvg {

namespace {

constexpr int kSignificantDigits = 15;

// Fixed notation for 0.d1d2... x 10^e with e in this range.
constexpr int kFixedLowestExponent = -3;
constexpr int kFixedHighestExponent = 15;

bool isBlank(QChar ch)
{
    // The ideographic space is what a Japanese input method types for a blank.
    return ch == QLatin1Char(' ') || ch == QLatin1Char('\t') || ch == QChar(0x3000);
}

bool isDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

} // namespace

QString ValueText(double value)
{
    // Not finite values never come out of a valid calibration; they are shown
    // plainly rather than as a misleading number.
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0"); // negative zero too

    // d.dddddddddddddde±x, correctly rounded to 15 digits and independent of
    // the locale. Rounding carries (9.999... -> 1.0e+01) are already applied
    // to the exponent here.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
        std::chars_format::scientific, kSignificantDigits - 1);
    const std::string text(buffer, result.ptr);
    const size_t ePos = text.find('e');

    std::string digits;
    for (size_t i = 0; i < ePos; ++i)
        if (isDigit(text[i]))
            digits += text[i];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int sciExponent = std::atoi(text.c_str() + ePos + 1); // d.ddd x 10^sciExponent
    const int exponent = sciExponent + 1; // 0.dddd x 10^exponent
    const int n = int(digits.size());

    std::string out;
    if (value < 0)
        out += '-';
    if (exponent >= kFixedLowestExponent && exponent <= kFixedHighestExponent) {
        if (exponent <= 0) {
            out += "0.";
            out.append(size_t(-exponent), '0');
            out += digits;
        } else if (exponent < n) {
            out.append(digits, 0, size_t(exponent));
            out += '.';
            out.append(digits, size_t(exponent), std::string::npos);
        } else {
            out += digits;
            out.append(size_t(exponent - n), '0');
        }
    } else {
        out += digits[0];
        if (n > 1) {
            out += '.';
            out.append(digits, 1, std::string::npos);
        }
        out += 'E';
        out += std::to_string(sciExponent);
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

bool ParseValue(const QString& text, double& value)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;

    // Checked by hand so that exactly the entry rule passes: no "inf", "nan",
    // hexadecimal, digit grouping or locale separators.
    std::string token;
    token.reserve(size_t(end - begin));
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t ch = text[i].unicode();
        if (ch > 0x7f)
            return false;
        token += char(ch);
    }
    size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    const size_t numberStart = i;
    size_t mantissaDigits = 0;
    while (i < token.size() && isDigit(token[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < token.size() && token[i] == '.') {
        ++i;
        while (i < token.size() && isDigit(token[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-'))
            ++i;
        size_t exponentDigits = 0;
        while (i < token.size() && isDigit(token[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    if (i != token.size())
        return false;

    // from_chars takes no "+" and reads the rest exactly as checked above;
    // a number outside the range of float64 (overflow or underflow to zero)
    // is refused rather than stored as infinity or zero.
    const std::string number = token.substr(numberStart);
    double parsed = 0;
    const auto result
        = std::from_chars(number.data(), number.data() + number.size(), parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != number.data() + number.size())
        return false;
    value = negative ? -parsed : parsed;
    return true;
}

} // namespace cvg
