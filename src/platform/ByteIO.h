#pragma once

#include <QByteArray>
#include <QtEndian>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>

namespace cvg {

// Little-endian field access on byte buffers, field by field, so that no
// record layout depends on the compiler's struct packing or the host's byte
// order. Every read is bounds-checked.

inline void putU8(QByteArray& out, uint8_t v)
{
    out.append(static_cast<char>(v));
}

inline void putI32(QByteArray& out, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    const char b[4]
        = { char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF), char((u >> 24) & 0xFF) };
    out.append(b, 4);
}

inline void putU16(QByteArray& out, uint16_t v)
{
    const char b[2] = { char(v & 0xFF), char((v >> 8) & 0xFF) };
    out.append(b, 2);
}

inline void putF64(QByteArray& out, double v)
{
    uint64_t u;
    std::memcpy(&u, &v, 8);
    char b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = char((u >> (8 * i)) & 0xFF);
    out.append(b, 8);
}

// Fields stored at p, for loops that fill a buffer of records.
inline void storeU32(uchar* p, uint32_t v)
{
    qToLittleEndian(v, p);
}

inline void storeU16(uchar* p, uint16_t v)
{
    qToLittleEndian(v, p);
}

// Where a writer hands its bytes, in order: a buffer in memory or a file.
using ByteSink = std::function<void(const char* data, size_t size)>;

inline uint8_t getU8(const uchar* p)
{
    return p[0];
}
inline uint16_t getU16(const uchar* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t getU32(const uchar* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t getI32(const uchar* p)
{
    return static_cast<int32_t>(getU32(p));
}
inline int16_t getI16(const uchar* p)
{
    return static_cast<int16_t>(getU16(p));
}
inline double getF64(const uchar* p)
{
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i)
        u = (u << 8) | p[i];
    double v;
    std::memcpy(&v, &u, 8);
    return v;
}
inline float getF32(const uchar* p)
{
    const uint32_t u = getU32(p);
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}

// A cursor over a byte range that refuses to read past its end.
class ByteReader {
public:
    ByteReader(const uchar* data, size_t size)
        : data_(data)
        , size_(size)
    { }
    explicit ByteReader(const QByteArray& bytes)
        : data_(reinterpret_cast<const uchar*>(bytes.constData()))
        , size_(size_t(bytes.size()))
    { }

    size_t size() const { return size_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool has(size_t n) const { return n <= remaining(); }
    const uchar* current() const { return data_ + pos_; }

    bool skip(size_t n)
    {
        if (!has(n))
            return false;
        pos_ += n;
        return true;
    }
    bool seek(size_t pos)
    {
        if (pos > size_)
            return false;
        pos_ = pos;
        return true;
    }
    bool u8(uint8_t& v) { return take(1) ? (v = data_[pos_ - 1], true) : false; }
    bool u16(uint16_t& v) { return take(2) ? (v = getU16(data_ + pos_ - 2), true) : false; }
    bool i16(int16_t& v) { return take(2) ? (v = getI16(data_ + pos_ - 2), true) : false; }
    bool u32(uint32_t& v) { return take(4) ? (v = getU32(data_ + pos_ - 4), true) : false; }
    bool i32(int32_t& v) { return take(4) ? (v = getI32(data_ + pos_ - 4), true) : false; }
    bool f64(double& v) { return take(8) ? (v = getF64(data_ + pos_ - 8), true) : false; }
    bool f32(float& v) { return take(4) ? (v = getF32(data_ + pos_ - 4), true) : false; }
    bool bytes(void* out, size_t n)
    {
        if (!take(n))
            return false;
        std::memcpy(out, data_ + pos_ - n, n);
        return true;
    }

private:
    bool take(size_t n)
    {
        if (!has(n))
            return false;
        pos_ += n;
        return true;
    }
    const uchar* data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace cvg
