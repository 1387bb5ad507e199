#pragma once

// Writes enhanced and placeable Windows metafiles record by record, for tests.
#include "platform/ByteIO.h"

#include <QByteArray>
#include <QPoint>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <cstring>
#include <vector>

namespace cvg::test {

struct Bytes {
    QByteArray b;
    Bytes& u8(uint8_t v) { return putU8(b, v), *this; }
    Bytes& u16(uint16_t v) { return putU16(b, v), *this; }
    Bytes& i16(int16_t v) { return putU16(b, uint16_t(v)), *this; }
    Bytes& u32(uint32_t v) { return putI32(b, int32_t(v)), *this; }
    Bytes& i32(int32_t v) { return putI32(b, v), *this; }
    Bytes& f32(float v)
    {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        return u32(u);
    }
    Bytes& color(QRgb c) { return u8(uint8_t(qRed(c))).u8(uint8_t(qGreen(c))).u8(uint8_t(qBlue(c))).u8(0); }
    Bytes& raw(const QByteArray& a) { return b.append(a), *this; }
    Bytes& box(int l, int t, int r, int bo) { return i32(l).i32(t).i32(r).i32(bo); }
};

// Enhanced metafile: the header record, the records, and an end record.
class Emf {
public:
    // Frame in hundredths of a millimetre; by default 10 device pixels a
    // millimetre, so a frame of 2000 x 1000 is 200 x 100 pixels.
    explicit Emf(
        int right = 2000, int bottom = 1000, int left = 0, int top = 0, int devPx = 1000, int devMm = 100)
        : left_(left)
        , top_(top)
        , right_(right)
        , bottom_(bottom)
        , devPxX_(devPx)
        , devPxY_(devPx)
        , devMmX_(devMm)
        , devMmY_(devMm)
    { }
    Emf& device(int pxX, int pxY, int mmX, int mmY)
    {
        devPxX_ = pxX, devPxY_ = pxY, devMmX_ = mmX, devMmY_ = mmY;
        return *this;
    }
    Emf& rec(uint32_t type, const Bytes& payload = Bytes())
    {
        QByteArray data = payload.b;
        while (data.size() % 4)
            data.append('\0');
        Bytes r;
        r.u32(type).u32(uint32_t(8 + data.size())).raw(data);
        body_.append(r.b);
        ++records_;
        return *this;
    }
    Emf& raw(const QByteArray& bytes) { return body_.append(bytes), *this; }
    QByteArray bytes(bool withEnd = true) const
    {
        Bytes end;
        if (withEnd)
            end.u32(14).u32(20).u32(0).u32(16).u32(20);
        Bytes h;
        h.u32(1).u32(88).box(0, 0, 0, 0).box(left_, top_, right_, bottom_);
        h.u32(0x464D4520).u32(0x10000);
        h.u32(uint32_t(88 + body_.size() + end.b.size())).u32(uint32_t(records_ + 2));
        h.u16(16).u16(0).u32(0).u32(0).u32(0);
        h.i32(devPxX_).i32(devPxY_).i32(devMmX_).i32(devMmY_);
        return h.b + body_ + end.b;
    }

    // Records the tests use.
    Emf& mapMode(int m) { return rec(17, Bytes().i32(m)); }
    Emf& windowExt(int x, int y) { return rec(9, Bytes().i32(x).i32(y)); }
    Emf& windowOrg(int x, int y) { return rec(10, Bytes().i32(x).i32(y)); }
    Emf& viewportExt(int x, int y) { return rec(11, Bytes().i32(x).i32(y)); }
    Emf& viewportOrg(int x, int y) { return rec(12, Bytes().i32(x).i32(y)); }
    Emf& pen(uint32_t ih, uint32_t style, int width, QRgb c)
    {
        return rec(38, Bytes().u32(ih).u32(style).i32(width).i32(0).color(c));
    }
    Emf& brush(uint32_t ih, uint32_t style, QRgb c, uint32_t hatch = 0)
    {
        return rec(39, Bytes().u32(ih).u32(style).color(c).u32(hatch));
    }
    Emf& select(uint32_t ih) { return rec(37, Bytes().u32(ih)); }
    Emf& nullPen() { return select(0x80000008); }
    Emf& rectangle(int l, int t, int r, int b) { return rec(43, Bytes().box(l, t, r, b)); }
    Emf& ellipse(int l, int t, int r, int b) { return rec(42, Bytes().box(l, t, r, b)); }
    Emf& points(uint32_t type, const std::vector<QPoint>& pts, bool wide = true)
    {
        Bytes p;
        p.box(0, 0, 0, 0).u32(uint32_t(pts.size()));
        for (const QPoint& q : pts)
            wide ? p.i32(q.x()).i32(q.y()) : p.i16(int16_t(q.x())).i16(int16_t(q.y()));
        return rec(type, p);
    }
    Emf& solidRect(QRgb c, int l, int t, int r, int b)
    {
        return brush(1, 0, c).select(1).nullPen().rectangle(l, t, r, b);
    }
    Emf& font(uint32_t ih, int height, uint8_t charSet, const QString& face)
    {
        Bytes p;
        p.u32(ih).i32(height).i32(0).i32(0).i32(0).i32(400);
        p.u8(0).u8(0).u8(0).u8(charSet).u8(0).u8(0).u8(0).u8(0);
        for (int i = 0; i < 32; ++i)
            p.u16(i < face.size() ? face.at(i).unicode() : 0);
        return rec(82, p);
    }
    // Text output; W when wide (two bytes a unit), else the given bytes.
    Emf& text(int x, int y, const QByteArray& units, int count, bool wide, const std::vector<int>& dx = {},
        uint32_t options = 0)
    {
        const int stringAt = 76;
        QByteArray string = units;
        while (string.size() % 4)
            string.append('\0');
        const int dxAt = dx.empty() ? 0 : stringAt + int(string.size());
        Bytes p;
        p.box(0, 0, 0, 0).u32(1).f32(0).f32(0);
        p.i32(x).i32(y).u32(uint32_t(count)).u32(stringAt).u32(options).box(0, 0, 0, 0).u32(uint32_t(dxAt));
        p.raw(string);
        for (int d : dx)
            p.i32(d);
        return rec(wide ? 84 : 83, p);
    }
    Emf& textW(int x, int y, const QString& s, const std::vector<int>& dx = {})
    {
        Bytes u;
        for (QChar c : s)
            u.u16(c.unicode());
        return text(x, y, u.b, int(s.size()), true, dx);
    }
    Emf& textA(int x, int y, const QByteArray& s, const std::vector<int>& dx = {})
    {
        return text(x, y, s, int(s.size()), false, dx);
    }

private:
    int left_, top_, right_, bottom_;
    int devPxX_, devPxY_, devMmX_, devMmY_;
    QByteArray body_;
    int records_ = 0;
};

// Placeable Windows metafile: the 22-byte header, the metafile header, the
// records, and an end record.
class Wmf {
public:
    Wmf(int16_t right, int16_t bottom, uint16_t inch = 1440, int16_t left = 0, int16_t top = 0)
        : left_(left)
        , top_(top)
        , right_(right)
        , bottom_(bottom)
        , inch_(inch)
    { }
    Wmf& rec(uint16_t function, const Bytes& params = Bytes())
    {
        QByteArray data = params.b;
        if (data.size() % 2)
            data.append('\0');
        Bytes r;
        r.u32(uint32_t(3 + data.size() / 2)).u16(function).raw(data);
        body_.append(r.b);
        return *this;
    }
    Wmf& raw(const QByteArray& bytes) { return body_.append(bytes), *this; }
    QByteArray placeableHeader(bool goodChecksum = true) const
    {
        Bytes h;
        h.u32(0x9AC6CDD7).u16(0).i16(left_).i16(top_).i16(right_).i16(bottom_).u16(inch_).u32(0);
        uint16_t sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= getU16(reinterpret_cast<const uchar*>(h.b.constData()) + 2 * i);
        h.u16(goodChecksum ? sum : uint16_t(sum ^ 1));
        return h.b;
    }
    QByteArray metaHeader(int extra) const
    {
        Bytes m;
        m.u16(1).u16(9).u16(0x0300).u32(uint32_t((18 + body_.size() + extra) / 2)).u16(8).u32(64).u16(0);
        return m.b;
    }
    QByteArray bytes(bool withEnd = true, bool placeable = true, bool goodChecksum = true) const
    {
        const QByteArray end = withEnd ? Bytes().u32(3).u16(0).b : QByteArray();
        return (placeable ? placeableHeader(goodChecksum) : QByteArray()) + metaHeader(int(end.size()))
            + body_ + end;
    }
    Wmf& window(int16_t x, int16_t y, int16_t w, int16_t h)
    {
        rec(0x020B, Bytes().i16(y).i16(x));
        return rec(0x020C, Bytes().i16(h).i16(w));
    }
    Wmf& brush(QRgb c, uint16_t style = 0, uint16_t hatch = 0)
    {
        return rec(0x02FC, Bytes().u16(style).color(c).u16(hatch));
    }
    Wmf& pen(uint16_t style, int16_t width, QRgb c)
    {
        return rec(0x02FA, Bytes().u16(style).i16(width).i16(0).color(c));
    }
    Wmf& select(uint16_t index) { return rec(0x012D, Bytes().u16(index)); }
    Wmf& remove(uint16_t index) { return rec(0x01F0, Bytes().u16(index)); }
    Wmf& rectangle(int16_t l, int16_t t, int16_t r, int16_t b)
    {
        return rec(0x041B, Bytes().i16(b).i16(r).i16(t).i16(l));
    }
    Wmf& font(int16_t height, uint8_t charSet, const QByteArray& face)
    {
        Bytes p;
        p.i16(height).i16(0).i16(0).i16(0).i16(400).u8(0).u8(0).u8(0).u8(charSet).u8(0).u8(0).u8(0).u8(0);
        p.raw(face.left(31)).u8(0);
        return rec(0x02FB, p);
    }
    Wmf& textOut(int16_t x, int16_t y, const QByteArray& s)
    {
        Bytes p;
        p.i16(int16_t(s.size())).raw(s);
        if (s.size() % 2)
            p.u8(0);
        p.i16(y).i16(x);
        return rec(0x0521, p);
    }

private:
    int16_t left_, top_, right_, bottom_;
    uint16_t inch_;
    QByteArray body_;
};

} // namespace cvg::test
