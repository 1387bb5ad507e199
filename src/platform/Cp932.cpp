#include "platform/Cp932.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <vector>

namespace cvg {

namespace {

// Runs iconv over the whole input; invalid or unconvertible input is
// replaced by `replacement` (encoded in the target) and skipped by `skip`.
QByteArray convert(const char* to, const char* from, const QByteArray& input,
                   const QByteArray& replacement, int skipBytes)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return QByteArray();
    QByteArray out;
    out.reserve(input.size() * 2 + 8);
    std::vector<char> buffer(4096);
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = size_t(input.size());
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), qsizetype(buffer.size() - outLeft));
        if (r == size_t(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: replace the offending unit and go on.
            out.append(replacement);
            const size_t skip = std::min(inLeft, size_t(skipBytes));
            in += skip;
            inLeft -= skip;
        }
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv_close(cd);
    return out;
}

} // namespace

QByteArray toCp932(const QString& text)
{
    // UTF-32 input lets an unconvertible character be skipped as one unit.
    const std::u32string wide = text.toStdU32String();
    const QByteArray input(reinterpret_cast<const char*>(wide.data()), qsizetype(wide.size() * 4));
    return convert("CP932", "UTF-32LE", input, QByteArray("?"), 4);
}

QString fromCp932(const QByteArray& bytes)
{
    const QByteArray utf8 = convert("UTF-8", "CP932", bytes, QByteArray("\xEF\xBF\xBD"), 1);
    return QString::fromUtf8(utf8);
}

QByteArray cutCp932(const QByteArray& bytes, int maxBytes)
{
    if (bytes.size() <= maxBytes)
        return bytes;
    // Walk characters from the start: lead bytes 0x81-0x9F and 0xE0-0xFC take two bytes.
    int i = 0;
    while (i < maxBytes) {
        const uchar c = uchar(bytes[i]);
        const int len = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return bytes.left(i);
}

} // namespace cvg
