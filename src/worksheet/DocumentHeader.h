#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>

namespace cvg {

// The document file's 524-byte header, kept as bytes: a read replaces it
// whole and a write sends back the bytes without meaning as they stand.
struct DocumentHeader {
    static constexpr int kSize = 524;
    static constexpr int kVersionOffset = 256;
    static constexpr int kSourceNameOffset = 260;
    static constexpr int kPageCountOffset = 516;
    static constexpr int kConvertedOffset = 520;
    static constexpr int32_t kCurrentVersion = 102;

    std::array<uint8_t, kSize> bytes{};

    // A new document's header: magic set, version 100, empty name, no pages, not converted.
    static DocumentHeader fresh();
    bool magicMatches() const;
    int32_t version() const;
    void setVersion(int32_t v);
    int32_t pageCount() const;
    void setPageCount(int32_t n);
    bool converted() const;
    void setConverted(bool on);
    QByteArray sourceName() const;        // code page 932 bytes
    void setSourceName(const QByteArray& cp932);
};

} // namespace cvg
