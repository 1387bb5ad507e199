#pragma once

#include "platform/SettingsStore.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace cvg {

// Reads a window's value by the exact-size rule: a missing value, or one of
// any other size, is replaced by the defaults, which are written back at
// once. Returns nothing when the key cannot be opened (the caller keeps an
// all-zero record).
std::optional<QByteArray> readRecord(SettingsStore& store, const QString& name,
                                     const QByteArray& defaults);

// The main window's view settings, value "Main" (286 bytes). Booleans are
// kept as the stored bytes: the hint toggle ignores values other than 0 and 1.
struct MainSettings {
    static constexpr int kSize = 286;
    std::array<uint8_t, 256> reserved{}; // never interpreted, written back as read
    uint8_t showDataInfo = 0;
    uint8_t showSheetInfo = 0;
    uint8_t showToolButtons = 0;
    uint8_t showHints = 0;
    int32_t saveImageChoice = 0;
    int32_t transferFormat = 0;
    int32_t sheetPanelWidth = 0;
    int32_t tabPosition = 0;
    int32_t tabHeight = 0;
    int32_t rowHeight = 0;
    uint8_t multiLineTabs = 0;
    uint8_t connectLine = 0;

    static MainSettings defaults();
    QByteArray encode() const;
    static MainSettings decode(const QByteArray& bytes); // bytes.size() == kSize
    bool operator==(const MainSettings&) const = default;
};

// The data directory dialog's value "Directory" (264 bytes).
struct DirectorySettings {
    static constexpr int kSize = 264;
    std::array<uint8_t, 256> directory{}; // short string: length byte, then the path bytes
    int32_t left = 0;
    int32_t top = 0;

    static DirectorySettings defaults(const QString& programFolder);
    QByteArray encode() const;
    static DirectorySettings decode(const QByteArray& bytes);
    QString path() const;
    void setPath(const QString& path); // cut to 255 bytes
};

// The tool windows' values: left, top and up to two more integers.
template <int N>
struct IntRecord {
    static constexpr int kSize = 4 * N;
    std::array<int32_t, N> fields{};

    QByteArray encode() const;
    static IntRecord decode(const QByteArray& bytes);
    int32_t& left() { return fields[0]; }
    int32_t& top() { return fields[1]; }
};

using PositionRecord = IntRecord<2>; // "Deform", "Edit", "Image", "Magnification", "Sheet"
using SplineRecord = IntRecord<3>;   // left, top, sampleDistance
using ScopeRecord = IntRecord<3>;    // left, top, crosshair colour 00BBGGRR
using MarkRecord = IntRecord<4>;     // left, top, general size, current size
using TraceRecord = IntRecord<4>;    // left, top, bound colour, scan interval
using TraceColourRecord = IntRecord<3>; // "TraceColour": colour mode 0/1, colour 00BBGGRR, tolerance
using TraceReadingRecord = IntRecord<3>; // "TraceReading": reading 0..5, max gap, marker size

// The main view's value "View" (8 bytes), kept beside "Main" so that "Main"
// keeps its size: the zoom in thousandths (1000 = 100 %) and whether all
// pages' points are shown.
struct ViewSettings {
    static constexpr int kSize = 8;
    int32_t zoomPermille = 1000;
    int32_t showAllPages = 0;

    QByteArray encode() const;
    static ViewSettings decode(const QByteArray& bytes);
};

// The recently used files, value "Recent" (8 x 1024 bytes): each entry a
// 16-bit length and up to 1022 bytes of the path in UTF-8; empty entries
// have length 0. Newest first.
struct RecentFiles {
    static constexpr int kCount = 8;
    static constexpr int kEntrySize = 1024;
    static constexpr int kSize = kCount * kEntrySize;
    QStringList paths;

    QByteArray encode() const;
    static RecentFiles decode(const QByteArray& bytes);
    // The path goes to the top (once); the list keeps kCount entries. A path
    // too long for an entry is not kept.
    void add(const QString& path);
    void remove(const QString& path);
};

// Encodes a short string: length byte then the bytes, cut at 255.
void setShortString(uint8_t* field256, const QByteArray& bytes);
QByteArray shortString(const uint8_t* field256);

// Reads a record of type R by the exact-size rule; all zero when the key is unavailable.
template <typename R>
R loadRecord(SettingsStore& store, const QString& name, const R& defaults)
{
    const std::optional<QByteArray> bytes = readRecord(store, name, defaults.encode());
    return bytes ? R::decode(*bytes) : R{};
}

template <typename R>
void saveRecord(SettingsStore& store, const QString& name, const R& record)
{
    if (store.available())
        store.setValue(name, record.encode());
}

} // namespace cvg
