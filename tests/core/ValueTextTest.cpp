#include "FuzzSeeds.h"
#include "calibration/ValueText.h"

#include <QLocale>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace cvg;

namespace {

std::string text(double value)
{
    return ValueText(value).toStdString();
}

struct Case {
    double value;
    const char* expected;
};

void expectTexts(const std::vector<Case>& cases)
{
    for (const Case& c : cases)
        EXPECT_EQ(text(c.value), c.expected) << "value " << c.value;
}

} // namespace

TEST(ValueText, ZeroAndSmallIntegers)
{
    expectTexts({
        { 0.0, "0" },
        { -0.0, "0" },
        { 1.0, "1" },
        { -1.0, "-1" },
        { 10.0, "10" },
        { 100.0, "100" },
        { 1500.0, "1500" },
        { -2.5, "-2.5" },
        { 0.5, "0.5" },
    });
}

TEST(ValueText, FixedNotationReachesFromTenThousandthsToFifteenIntegerDigits)
{
    expectTexts({
        { 0.0001, "0.0001" },
        { -0.0001, "-0.0001" },
        { 0.00012345, "0.00012345" },
        { 0.001, "0.001" },
        { 0.0123, "0.0123" },
        { 1234567.8, "1234567.8" }, // seven integer digits and a decimal: every digit shown
        { 100000000000000.0, "100000000000000" },
        { 123456789012345.0, "123456789012345" },
        { -123456789012345.0, "-123456789012345" },
        { 999999999999999.0, "999999999999999" },
        { 12345678901234.5, "12345678901234.5" },
    });
}

TEST(ValueText, ScientificNotationOutsideThatRange)
{
    expectTexts({
        { 1e-5, "1E-5" },
        { -1e-5, "-1E-5" },
        { 1e-6, "1E-6" },
        { 1.5e-7, "1.5E-7" },
        { 9.87654321e-5, "9.87654321E-5" },
        { 1.5e20, "1.5E20" },
        { -1.5e20, "-1.5E20" },
        { 1e15, "1E15" },
        { 1234567890123456.0, "1.23456789012346E15" }, // 16 integer digits
        { -1234567890123456.0, "-1.23456789012346E15" },
        { 1e100, "1E100" },
        { 1e-100, "1E-100" },
        { 1.23456789012345678e-10, "1.23456789012346E-10" },
        { std::numeric_limits<double>::max(), "1.79769313486232E308" },
        { std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324" },
    });
}

TEST(ValueText, RoundsAtTheFifteenthDigit)
{
    expectTexts({
        { 0.1 + 0.2, "0.3" },
        { 1.0 / 3.0, "0.333333333333333" },
        { 2.0 / 3.0, "0.666666666666667" },
        { -2.0 / 3.0, "-0.666666666666667" },
        { 0.123456789012345678, "0.123456789012346" },
        { 1.000000000000006, "1.00000000000001" },
        { 1.000000000000004, "1" },
        { 9.9999999999999995, "10" },
        { 99999.999999999999, "100000" },
        // Rounding decides the notation: a carry into a 16th integer digit
        // turns fixed into scientific, and a carry up to one ten-thousandth
        // turns scientific into fixed.
        { 999999999999999.5, "1E15" },
        { 999999999999999.375, "999999999999999" },
        { 0.0000999999999999999999, "0.0001" },
        { 9.99999999999999e-5, "9.99999999999999E-5" },
        { -0.00009999999999999999, "-0.0001" },
    });
}

namespace {

// The rule written the plain way, through the library's correctly rounded
// scientific form, as the reference for the fast writer.
std::string referenceText(double value)
{
    if (value == 0)
        return "0";
    char buffer[64];
    const auto result
        = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 14);
    const std::string sci(buffer, result.ptr);
    const size_t ePos = sci.find('e');
    std::string digits;
    for (size_t i = 0; i < ePos; ++i)
        if (sci[i] != '.')
            digits += sci[i];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int sciExponent = std::atoi(sci.c_str() + ePos + 1);
    const int e = sciExponent + 1, n = int(digits.size());
    std::string out = value < 0 ? "-" : "";
    if (e >= -3 && e <= 15) {
        if (e <= 0)
            out += "0." + std::string(size_t(-e), '0') + digits;
        else if (e < n)
            out += digits.substr(0, size_t(e)) + "." + digits.substr(size_t(e));
        else
            out += digits + std::string(size_t(e - n), '0');
    } else {
        out += digits.substr(0, 1) + (n > 1 ? "." + digits.substr(1) : "") + "E"
            + std::to_string(sciExponent);
    }
    return out;
}

} // namespace

TEST(ValueText, SameTextAsThePlainRuleOnAMillionValues)
{
    std::mt19937_64 random(15);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<double> values;
    // Edge cases: the ends of the fixed range, carries into the next power,
    // exact ties at the sixteenth digit (integers below 2^53 ending in 5, and
    // powers of two with long exact expansions), the ends of float64.
    for (int p = -330; p <= 310; ++p) {
        const double ten = std::pow(10.0, p);
        for (const double v :
            { ten, std::nextafter(ten, 0.0), std::nextafter(ten, 1e308), 9.999999999999995 * ten,
                9.9999999999999949 * ten, 5.0000000000000005 * ten, 1.000000000000005 * ten })
            if (std::isfinite(v))
                values.push_back(v);
    }
    for (int64_t base = 1000000000000000; base < 9007199254740992; base += 77777777777773)
        values.push_back(double(base / 10 * 10 + 5));
    for (int e = -1074; e <= 1023; ++e)
        values.push_back(std::ldexp(1.0, e));
    values.push_back(std::numeric_limits<double>::max());
    values.push_back(std::numeric_limits<double>::min());
    // Random bit patterns (every exponent), converted-value-like sums and
    // powers, and short decimals as typed.
    while (values.size() < 1'000'000) {
        const uint64_t bits = random();
        double v = 0;
        switch (values.size() % 4) {
        case 0:
            std::memcpy(&v, &bits, sizeof v);
            break;
        case 1:
            v = -12.75 + double(bits % 20000) * 0.0123456789;
            break;
        case 2:
            v = std::pow(10.0, (unit(random) - 0.5) * 40);
            break;
        default:
            v = double(int64_t(bits % 2000001) - 1000000) / std::pow(10.0, double(bits >> 60));
            break;
        }
        if (std::isfinite(v))
            values.push_back(bits & (1ull << 62) ? v : -v);
    }
    int differing = 0;
    char buffer[kValueTextRoom];
    for (const double v : values) {
        const std::string written(buffer, WriteValueText(v, buffer));
        if (written != referenceText(v) && ++differing <= 10)
            ADD_FAILURE() << "value " << std::hexfloat << v << ": " << written << " instead of "
                          << referenceText(v);
    }
    EXPECT_EQ(differing, 0);
}

TEST(ValueText, NotFiniteValuesAreNamed)
{
    EXPECT_EQ(text(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(text(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(text(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(ValueText, IgnoresTheLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* const cLocale = std::setlocale(LC_NUMERIC, nullptr);
    const std::string savedC = cLocale ? cLocale : "C";
    // Not every system has a comma locale installed; the Qt default is set regardless.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(text(-1234.5), "-1234.5");
    EXPECT_EQ(text(1.5e20), "1.5E20");
    double value = 0;
    EXPECT_TRUE(ParseValue(QStringLiteral("2.25"), value));
    EXPECT_EQ(value, 2.25);
    EXPECT_FALSE(ParseValue(QStringLiteral("2,25"), value));
    std::setlocale(LC_NUMERIC, savedC.c_str());
    QLocale::setDefault(previous);
}

TEST(ParseValue, AcceptsTheEntryRule)
{
    const std::vector<std::pair<QString, double>> accepted = {
        { QStringLiteral("0"), 0.0 },
        { QStringLiteral("12"), 12.0 },
        { QStringLiteral("-2.5"), -2.5 },
        { QStringLiteral("+3"), 3.0 },
        { QStringLiteral("1."), 1.0 },
        { QStringLiteral(".5"), 0.5 },
        { QStringLiteral("-.5"), -0.5 },
        { QStringLiteral("1e3"), 1000.0 },
        { QStringLiteral("1E-3"), 0.001 },
        { QStringLiteral("1.5e+2"), 150.0 },
        { QStringLiteral("-1.5E20"), -1.5e20 },
        { QStringLiteral("  4  "), 4.0 },
        { QStringLiteral("\t7\t"), 7.0 },
        { QStringLiteral("\u30008\u3000"), 8.0 }, // ideographic blanks
        { QStringLiteral("0.1"), 0.1 },
        { QStringLiteral("123456789012345"), 123456789012345.0 },
        { QStringLiteral("000012"), 12.0 },
        { QStringLiteral("1e-310"), 1e-310 },
    };
    for (const auto& [input, expected] : accepted) {
        double value = -999;
        cvg::test::keepSeed("ValueEntryFuzz", input);
        EXPECT_TRUE(ParseValue(input, value)) << input.toStdString();
        EXPECT_EQ(value, expected) << input.toStdString();
    }
    double zero = 1;
    ASSERT_TRUE(ParseValue(QStringLiteral("-0"), zero));
    EXPECT_EQ(zero, 0.0);
    EXPECT_EQ(text(zero), "0");
}

TEST(ParseValue, RejectsEverythingElseAndLeavesTheValue)
{
    const QStringList rejected = {
        QString(), QStringLiteral(" "), QStringLiteral("-"), QStringLiteral("+"), QStringLiteral("."),
        QStringLiteral("-."), QStringLiteral("e5"), QStringLiteral("1e"), QStringLiteral("1e+"),
        QStringLiteral("1.2.3"), QStringLiteral("1,5"), QStringLiteral("1 000"), QStringLiteral("- 1"),
        QStringLiteral("--1"), QStringLiteral("+-1"), QStringLiteral("1-"), QStringLiteral("0x10"),
        QStringLiteral("inf"), QStringLiteral("-INF"), QStringLiteral("nan"), QStringLiteral("1e3.5"),
        QStringLiteral("1d3"),
        QStringLiteral("\uff11"), // a full-width digit
        QStringLiteral("12abc"),
        QStringLiteral("1e400"), // beyond float64
        QStringLiteral("-1e400"),
        QStringLiteral("1e-400"), // would become zero
    };
    for (const QString& input : rejected) {
        double value = 42;
        cvg::test::keepSeed("ValueEntryFuzz", input);
        EXPECT_FALSE(ParseValue(input, value)) << input.toStdString();
        EXPECT_EQ(value, 42) << input.toStdString();
    }
}

TEST(ParseValue, ReadsBackEveryValueTextUnchanged)
{
    // What is shown must be what is stored when typed again: parsing a value
    // text and writing it out gives the same text.
    const std::vector<double> values = { 0.0, 1.0 / 3.0, -2.0 / 3.0, 0.0001, 1e-5, 1.5e20, -1e-100,
        1234567890123456.0, 123456789012345.0, 999999999999999.5, 6.02214076e23, -273.15 };
    for (const double v : values) {
        const QString shown = ValueText(v);
        cvg::test::keepSeed("ValueEntryFuzz", shown);
        double back = 0;
        ASSERT_TRUE(ParseValue(shown, back)) << shown.toStdString();
        EXPECT_EQ(ValueText(back), shown);
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-14) << shown.toStdString();
    }
}
