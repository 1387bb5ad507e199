#include "calibration/ValueText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
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

__extension__ typedef unsigned __int128 Uint128;

// The fifteen significant digits, rounded half to even, as ASCII bytes in
// one 128-bit word (the first digit in the lowest byte), and the decimal
// exponent of the first: value = 0.d1d2...d15 x 10^(exponent). The layout
// below shifts and masks the word and stores it whole, so that no digit
// takes a round trip through memory.
struct Digits {
    Uint128 text = 0;
    int count = 0; // without the trailing zeros, at least 1
    int exponent = 0;
    char at(int i) const { return char(text >> (8 * i)); }
};

// The bytes below byte i (i from 0 to 15).
inline Uint128 lowBytes(int i)
{
    return (Uint128(1) << (8 * i)) - 1;
}

// Stores the 16 bytes of x at out; returns out + length.
inline char* store(char* out, Uint128 x, int length)
{
    std::memcpy(out, &x, sizeof x);
    return out + length;
}

// Lays out the digits by the rule; returns the end of what was written.
char* layOut(bool negative, const Digits& d, char* out)
{
    *out = '-';
    out += negative;
    const int n = d.count;
    const int e = d.exponent;
    // The digits with a point after the first `at` of them.
    const auto pointAfter = [&d](int at) {
        const Uint128 head = lowBytes(at);
        return (d.text & head) | (Uint128('.') << (8 * at)) | ((d.text & ~head) << 8);
    };
    if (e >= kFixedLowestExponent && e <= kFixedHighestExponent) {
        if (e <= 0) {
            std::memcpy(out, "0.000", 5);
            return store(out + 2 - e, d.text, n);
        }
        if (e < n)
            return store(out, pointAfter(e), n + 1);
        constexpr Uint128 kZeros = (Uint128(0x3030303030303030) << 64) | 0x3030303030303030;
        return store(out, (d.text & lowBytes(n)) | (kZeros & ~lowBytes(n)), e);
    }
    out = n > 1 ? store(out, pointAfter(1), n + 1) : store(out, d.text, 1);
    *out++ = 'E';
    return std::to_chars(out, out + 8, e - 1).ptr;
}

// The digits of the exact binary value correctly rounded to 15, by the
// library; always right, but slow.
Digits exactDigits(double magnitude)
{
    // d.dddddddddddddde±x; rounding carries (9.999... -> 1.0e+01) are
    // already applied to the exponent here.
    char buffer[64];
    const char* end = std::to_chars(
        buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, kSignificantDigits - 1)
                          .ptr;
    Digits d;
    char digits[16] {};
    const char* p = buffer;
    for (; p < end && *p != 'e'; ++p)
        if (isDigit(*p))
            digits[d.count++] = *p;
    std::memcpy(&d.text, digits, sizeof d.text);
    int sciExponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), end, sciExponent);
    d.exponent = sciExponent + 1;
    return d;
}

// The eight decimal digits of v (below 10^8) as ASCII bytes, the first in
// the lowest byte: split into halves, pairs and single digits in parallel
// lanes of one word (the multiplications divide each lane exactly by 100
// and by 10 for the ranges the lanes hold).
inline uint64_t eightDigits(uint32_t v)
{
    const uint64_t halves = uint64_t(v / 10000) | (uint64_t(v % 10000) << 32);
    const uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007F;
    const uint64_t pairs = hundreds | ((halves - hundreds * 100) << 16);
    const uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000F;
    return (tens | ((pairs - tens * 10) << 8)) + 0x3030303030303030;
}

// Powers of five and ten up to 27: 5^27 still fits 64 bits, and 10^27 =
// 5^27 x 2^27 the 64-bit significand of the extended format.
constexpr int kMaxExactPower = 27;
struct Powers {
    uint64_t five[kMaxExactPower + 1] {};
    long double ten[kMaxExactPower + 1] {};
    constexpr Powers()
    {
        uint64_t f = 1;
        long double t = 1;
        for (int i = 0; i <= kMaxExactPower; ++i, f *= 5, t *= 10) {
            five[i] = f;
            ten[i] = t;
        }
    }
};
constexpr Powers kPowers;

constexpr uint64_t kLowestFifteen = 100000000000000; // 10^14
constexpr uint64_t kAboveFifteen = 1000000000000000; // 10^15

// The 15 digits of a magnitude in [10^-13, 10^15) in exact integers:
// magnitude = m x 2^e, so magnitude x 10^s = (m x 5^s) x 2^(e + s), and
// m x 5^s is exact in 128 bits. k is the decimal exponent of the first
// digit, estimated to within one and corrected here. False when the value
// lies outside that range.
bool scaleExactly(uint64_t m, int e, int& k, uint64_t& n)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int s = kSignificantDigits - 1 - k;
        if (s < 0 || s > kMaxExactPower)
            return false;
        const Uint128 product = Uint128(m) * kPowers.five[s];
        const int shift = e + s;
        uint64_t whole = 0;
        bool roundUp = false;
        if (shift >= 0) {
            // Whole already; the scaled value is below 10^16, so it fits.
            if (shift > 63 || (product >> (64 - shift)) != 0)
                return false;
            whole = uint64_t(product << shift);
        } else {
            const int drop = -shift;
            if (drop > 120)
                return false;
            whole = uint64_t(product >> drop);
            const Uint128 rest = product & ((Uint128(1) << drop) - 1);
            const Uint128 half = Uint128(1) << (drop - 1);
            roundUp = rest > half || (rest == half && (whole & 1) != 0);
        }
        if (whole >= kAboveFifteen) {
            ++k;
            continue;
        }
        if (whole < kLowestFifteen) {
            --k;
            continue;
        }
        n = whole + roundUp;
        if (n == kAboveFifteen) { // 9.99...95 carries into the next power
            n = kLowestFifteen;
            ++k;
        }
        return true;
    }
    return false;
}

// Magnitudes from 10^15 up to 10^42: divided by an exact power of ten in
// extended precision, which is off the exact quotient by less than 2^-14.
// Only where the quotient lies within 10^-3 of a half (or of the ends of its
// range) could that error matter; there the result is false.
bool scaleLarge(double magnitude, int& k, uint64_t& n)
{
    if (std::numeric_limits<long double>::digits < 64)
        return false;
    const auto scaled = [magnitude](int exp10) -> long double {
        const int shift = exp10 - (kSignificantDigits - 1);
        return shift >= 1 && shift <= kMaxExactPower ? (long double)magnitude / kPowers.ten[shift] : 0;
    };
    long double t = scaled(k);
    if (t >= 1e15L)
        t = scaled(++k);
    // Rounded in the default mode, half to even; the distance to the
    // rounded value tells how near t lies to a half.
    const long long rounded = std::llrint(t);
    if (std::fabs(std::fabs(t - (long double)rounded) - 0.5L) < 1e-3L || t < 1e14L + 1 || t > 1e15L - 1)
        return false;
    n = uint64_t(rounded);
    return true;
}

// The 15 digits without a general formatting call for magnitudes from 10^-13
// to 10^42; the library decides the rest (and the rare large value close to
// a half).
Digits fifteenDigits(double magnitude)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biasedExponent = int(bits >> 52);
    if (biasedExponent == 0)
        return exactDigits(magnitude); // subnormal
    const uint64_t m = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
    const int e = biasedExponent - 1075;
    // floor(log10(magnitude)) is within one of floor((e + 52) x log10(2)).
    int k = ((e + 52) * 78913) >> 18;
    uint64_t n = 0;
    if (!scaleExactly(m, e, k, n) && !(k > kSignificantDigits - 1 && scaleLarge(magnitude, k, n)))
        return exactDigits(magnitude);
    // Seven digits above, eight below.
    Digits d;
    d.exponent = k + 1;
    const uint64_t high = eightDigits(uint32_t(n / 100000000)) >> 8; // without its leading zero
    d.text = Uint128(high) | (Uint128(eightDigits(uint32_t(n % 100000000))) << 56);
    d.count = kSignificantDigits;
    return d;
}

} // namespace

char* WriteValueText(double value, char* out)
{
    // Not finite values never come out of a valid calibration; they are shown
    // plainly rather than as a misleading number.
    if (!std::isfinite(value)) {
        const char* text = std::isnan(value) ? "NaN" : value < 0 ? "-INF" : "INF";
        const size_t n = std::strlen(text);
        std::memcpy(out, text, n);
        return out + n;
    }
    if (value == 0) {
        *out = '0'; // negative zero too
        return out + 1;
    }
    Digits d = fifteenDigits(std::fabs(value));
    while (d.count > 1 && d.at(d.count - 1) == '0')
        --d.count;
    return layOut(value < 0, d, out);
}

QString ValueText(double value)
{
    char buffer[kValueTextRoom];
    const char* end = WriteValueText(value, buffer);
    return QString::fromLatin1(buffer, qsizetype(end - buffer));
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
