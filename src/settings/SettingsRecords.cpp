#include "settings/SettingsRecords.h"

#include "platform/ByteIO.h"

#include <algorithm>
#include <cstring>

namespace cvg {

std::optional<QByteArray> readRecord(SettingsStore& store, const QString& name,
                                     const QByteArray& defaults)
{
    if (!store.available())
        return std::nullopt;
    const std::optional<QByteArray> stored = store.value(name);
    if (stored && stored->size() == defaults.size())
        return stored;
    store.setValue(name, defaults);
    return defaults;
}

void setShortString(uint8_t* field, const QByteArray& bytes)
{
    const int n = std::min<int>(int(bytes.size()), 255);
    field[0] = uint8_t(n);
    std::memcpy(field + 1, bytes.constData(), size_t(n));
}

QByteArray shortString(const uint8_t* field)
{
    return QByteArray(reinterpret_cast<const char*>(field + 1), field[0]);
}

MainSettings MainSettings::defaults()
{
    MainSettings s;
    s.showDataInfo = 1;
    s.showSheetInfo = 1;
    s.showToolButtons = 1;
    s.showHints = 1;
    s.saveImageChoice = 0;
    s.transferFormat = 0;
    s.sheetPanelWidth = 250;
    s.tabPosition = 0;
    s.tabHeight = 16;
    s.rowHeight = 16;
    s.multiLineTabs = 1;
    s.connectLine = 1;
    return s;
}

QByteArray MainSettings::encode() const
{
    QByteArray out;
    out.reserve(kSize);
    out.append(reinterpret_cast<const char*>(reserved.data()), 256);
    putU8(out, showDataInfo);
    putU8(out, showSheetInfo);
    putU8(out, showToolButtons);
    putU8(out, showHints);
    putI32(out, saveImageChoice);
    putI32(out, transferFormat);
    putI32(out, sheetPanelWidth);
    putI32(out, tabPosition);
    putI32(out, tabHeight);
    putI32(out, rowHeight);
    putU8(out, multiLineTabs);
    putU8(out, connectLine);
    return out;
}

MainSettings MainSettings::decode(const QByteArray& bytes)
{
    MainSettings s;
    if (bytes.size() != kSize)
        return s;
    ByteReader r(bytes);
    r.bytes(s.reserved.data(), 256);
    r.u8(s.showDataInfo);
    r.u8(s.showSheetInfo);
    r.u8(s.showToolButtons);
    r.u8(s.showHints);
    r.i32(s.saveImageChoice);
    r.i32(s.transferFormat);
    r.i32(s.sheetPanelWidth);
    r.i32(s.tabPosition);
    r.i32(s.tabHeight);
    r.i32(s.rowHeight);
    r.u8(s.multiLineTabs);
    r.u8(s.connectLine);
    return s;
}

DirectorySettings DirectorySettings::defaults(const QString& programFolder)
{
    DirectorySettings s;
    s.setPath(programFolder);
    return s;
}

QByteArray DirectorySettings::encode() const
{
    QByteArray out;
    out.reserve(kSize);
    out.append(reinterpret_cast<const char*>(directory.data()), 256);
    putI32(out, left);
    putI32(out, top);
    return out;
}

DirectorySettings DirectorySettings::decode(const QByteArray& bytes)
{
    DirectorySettings s;
    if (bytes.size() != kSize)
        return s;
    ByteReader r(bytes);
    r.bytes(s.directory.data(), 256);
    r.i32(s.left);
    r.i32(s.top);
    return s;
}

QString DirectorySettings::path() const { return QString::fromLocal8Bit(shortString(directory.data())); }

void DirectorySettings::setPath(const QString& path)
{
    QByteArray bytes = path.toLocal8Bit();
    if (bytes.size() > 255) {
        // Cut on a character boundary so the stored path stays valid text.
        QString cut = path;
        while (cut.toLocal8Bit().size() > 255)
            cut.chop(1);
        bytes = cut.toLocal8Bit();
    }
    setShortString(directory.data(), bytes);
}

template <int N>
QByteArray IntRecord<N>::encode() const
{
    QByteArray out;
    out.reserve(kSize);
    for (int32_t v : fields)
        putI32(out, v);
    return out;
}

template <int N>
IntRecord<N> IntRecord<N>::decode(const QByteArray& bytes)
{
    IntRecord r;
    if (bytes.size() != kSize)
        return r;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    for (int i = 0; i < N; ++i)
        r.fields[size_t(i)] = getI32(p + 4 * i);
    return r;
}

QByteArray ViewSettings::encode() const
{
    QByteArray out;
    out.reserve(kSize);
    putI32(out, zoomPermille);
    putI32(out, showAllPages);
    return out;
}

ViewSettings ViewSettings::decode(const QByteArray& bytes)
{
    ViewSettings s;
    if (bytes.size() != kSize)
        return s;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    s.zoomPermille = getI32(p);
    s.showAllPages = getI32(p + 4);
    return s;
}

QByteArray RecentFiles::encode() const
{
    QByteArray out(kSize, '\0');
    int slot = 0;
    for (const QString& path : paths) {
        const QByteArray bytes = path.toUtf8();
        if (slot >= kCount || bytes.size() > kEntrySize - 2)
            continue;
        char* entry = out.data() + slot * kEntrySize;
        entry[0] = char(bytes.size() & 0xFF);
        entry[1] = char((bytes.size() >> 8) & 0xFF);
        std::memcpy(entry + 2, bytes.constData(), size_t(bytes.size()));
        ++slot;
    }
    return out;
}

RecentFiles RecentFiles::decode(const QByteArray& bytes)
{
    RecentFiles r;
    if (bytes.size() != kSize)
        return r;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    for (int i = 0; i < kCount; ++i) {
        const uchar* entry = p + i * kEntrySize;
        const int length = getU16(entry);
        // A length the entry cannot hold is a damaged entry: skipped.
        if (length == 0 || length > kEntrySize - 2)
            continue;
        const QString path = QString::fromUtf8(reinterpret_cast<const char*>(entry + 2), length);
        if (!path.isEmpty() && !r.paths.contains(path))
            r.paths << path;
    }
    return r;
}

void RecentFiles::add(const QString& path)
{
    if (path.isEmpty() || path.toUtf8().size() > kEntrySize - 2)
        return;
    paths.removeAll(path);
    paths.prepend(path);
    while (paths.size() > kCount)
        paths.removeLast();
}

void RecentFiles::remove(const QString& path)
{
    paths.removeAll(path);
}

template struct IntRecord<2>;
template struct IntRecord<3>;
template struct IntRecord<4>;

} // namespace cvg
