#include "worksheet/DocumentHeader.h"

#include "platform/ByteIO.h"

#include <algorithm>
#include <cstring>

namespace cvg {

namespace {
void putI32At(uint8_t* p, int32_t v)
{
    const uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t((u >> (8 * i)) & 0xFF);
}
} // namespace

DocumentHeader DocumentHeader::fresh()
{
    DocumentHeader h;
    h.bytes[0] = 3;
    h.bytes[1] = 'C';
    h.bytes[2] = 'V';
    h.bytes[3] = 'D';
    h.setVersion(100);
    return h;
}

bool DocumentHeader::magicMatches() const
{
    return bytes[0] == 3 && bytes[1] == 'C' && bytes[2] == 'V' && bytes[3] == 'D';
}

int32_t DocumentHeader::version() const { return getI32(bytes.data() + kVersionOffset); }
void DocumentHeader::setVersion(int32_t v) { putI32At(bytes.data() + kVersionOffset, v); }
int32_t DocumentHeader::pageCount() const { return getI32(bytes.data() + kPageCountOffset); }
void DocumentHeader::setPageCount(int32_t n) { putI32At(bytes.data() + kPageCountOffset, n); }
bool DocumentHeader::converted() const { return bytes[kConvertedOffset] != 0; }
void DocumentHeader::setConverted(bool on) { bytes[kConvertedOffset] = on ? 1 : 0; }

QByteArray DocumentHeader::sourceName() const
{
    const uint8_t* p = bytes.data() + kSourceNameOffset;
    return QByteArray(reinterpret_cast<const char*>(p + 1), p[0]);
}

void DocumentHeader::setSourceName(const QByteArray& cp932)
{
    uint8_t* p = bytes.data() + kSourceNameOffset;
    const int n = std::min<int>(int(cp932.size()), 255);
    p[0] = uint8_t(n);
    std::memcpy(p + 1, cp932.constData(), size_t(n));
}

} // namespace cvg
