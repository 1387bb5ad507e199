#include "image/metafile/AnsiText.h"

#include "platform/Cp932.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace cvg::metafile {

namespace {

const char* codePageOf(uint8_t charSet)
{
    switch (charSet) {
    case 0:
        return "CP1252";
    case 1:
    case 128:
        return "CP932";
    case 2: // symbol fonts: bytes are glyph codes
        return "ISO-8859-1";
    case 77:
        return "MACINTOSH";
    case 129:
        return "CP949";
    case 130:
        return "JOHAB";
    case 134:
        return "CP936";
    case 136:
        return "CP950";
    case 161:
        return "CP1253";
    case 162:
        return "CP1254";
    case 163:
        return "CP1258";
    case 177:
        return "CP1255";
    case 178:
        return "CP1256";
    case 186:
        return "CP1257";
    case 204:
        return "CP1251";
    case 222:
        return "CP874";
    case 238:
        return "CP1250";
    case 255:
        return "CP437";
    default:
        return "CP1252";
    }
}

// Bytes that start a two-byte character in the double-byte code pages.
bool isLeadByte(const char* codePage, uchar c)
{
    const QByteArray cp(codePage);
    if (cp == "CP932")
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    if (cp == "CP949" || cp == "CP936" || cp == "CP950" || cp == "JOHAB")
        return c >= 0x81 && c <= 0xFE;
    return false;
}

// iconv over the whole input; a byte it cannot convert becomes U+FFFD.
QString convert(const char* codePage, const QByteArray& input)
{
    if (QByteArray(codePage) == "CP932")
        return fromCp932(input);
    iconv_t cd = iconv_open("UTF-8", codePage);
    if (cd == iconv_t(-1))
        return QString::fromLatin1(input);
    QByteArray out;
    char buffer[1024];
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = size_t(input.size());
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, qsizetype(sizeof buffer - outLeft));
        if (r == size_t(-1) && errno != E2BIG) {
            out.append("\xEF\xBF\xBD");
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return QString::fromUtf8(out);
}

} // namespace

QString decodeAnsi(const QByteArray& bytes, uint8_t charSet)
{
    return convert(codePageOf(charSet), bytes);
}

QString decodeAnsi(const QByteArray& bytes, uint8_t charSet, const std::vector<double>& byteAdvances,
    std::vector<double>& unitAdvances)
{
    unitAdvances.clear();
    const char* codePage = codePageOf(charSet);
    if (byteAdvances.size() < size_t(bytes.size()))
        return convert(codePage, bytes);
    // Characters as the lead bytes divide them; when each became one UTF-16
    // unit (always so for these code pages, barring damage) the advances
    // map one to one without decoding character by character.
    std::vector<double> charAdvances;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype len = (isLeadByte(codePage, uchar(bytes[i])) && i + 1 < bytes.size()) ? 2 : 1;
        double advance = 0;
        for (qsizetype k = 0; k < len; ++k)
            advance += byteAdvances[size_t(i + k)];
        charAdvances.push_back(advance);
        i += len;
    }
    const QString whole = convert(codePage, bytes);
    if (size_t(whole.size()) == charAdvances.size()) {
        unitAdvances = charAdvances;
        return whole;
    }
    QString text;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype len = (isLeadByte(codePage, uchar(bytes[i])) && i + 1 < bytes.size()) ? 2 : 1;
        const QString ch = convert(codePage, bytes.mid(i, len));
        double advance = 0;
        for (qsizetype k = 0; k < len; ++k)
            advance += byteAdvances[size_t(i + k)];
        for (qsizetype u = 0; u < ch.size(); ++u)
            unitAdvances.push_back(u == 0 ? advance : 0.0);
        text += ch;
        i += len;
    }
    return text;
}

} // namespace cvg::metafile
