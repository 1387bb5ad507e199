// libFuzzer entry for the stored window settings: any bytes of any size in
// any value, and any bytes as the settings file itself. Every record must
// come out of the exact-size rule at its own size, a value of the right size
// must be written back byte for byte, and any value must survive the
// settings file unchanged.
#include "platform/SettingsStore.h"
#include "settings/SettingsRecords.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

struct Value {
    const char* name;
    int size;
    // Loads the record from the store and returns its encoding.
    std::function<QByteArray(cvg::SettingsStore&)> load;
};

template <typename R> Value value(const char* name, R defaults)
{
    return { name, R::kSize, [name, defaults](cvg::SettingsStore& store) {
                return cvg::loadRecord(store, QString::fromLatin1(name), defaults).encode();
            } };
}

const std::vector<Value>& values()
{
    static const std::vector<Value> all = [] {
        cvg::PositionRecord position;
        cvg::SplineRecord spline;
        spline.fields = { 0, 0, 10 };
        cvg::ScopeRecord scope;
        scope.fields = { 0, 0, 0xFF };
        cvg::MarkRecord mark;
        mark.fields = { 0, 0, 3, 3 };
        cvg::TraceRecord trace;
        trace.fields = { 0, 0, 125, 1 };
        cvg::TraceColourRecord colour;
        colour.fields = { 0, 0x0000FF, 60 };
        return std::vector<Value> {
            value("Main", cvg::MainSettings::defaults()),
            value("Directory", cvg::DirectorySettings::defaults(QStringLiteral("/opt/cvglean"))),
            value("Deform", position),
            value("Edit", position),
            value("Image", position),
            value("Magnification", position),
            value("Sheet", position),
            value("Spline", spline),
            value("Mark", mark),
            value("Scope", scope),
            value("Trace", trace),
            value("TraceColour", colour),
        };
    }();
    return all;
}

// The settings file lives under a folder of its own for the whole run.
QString settingsFile()
{
    static const QString path = [] {
        // Memory-backed when the system has it: every value is written through.
        const bool shm = QDir(QStringLiteral("/dev/shm")).exists();
        char pattern[64];
        std::snprintf(pattern, sizeof pattern, "%s/cvg-settings-fuzz-XXXXXX", shm ? "/dev/shm" : "/tmp");
        const char* dir = mkdtemp(pattern);
        if (!dir)
            std::abort();
        qputenv("XDG_CONFIG_HOME", dir);
        qputenv("HOME", dir);
        cvg::QSettingsStore probe;
        return probe.fileName();
    }();
    return path;
}

void checkRecords(cvg::SettingsStore& store)
{
    for (const Value& v : values()) {
        const QString name = QString::fromLatin1(v.name);
        const std::optional<QByteArray> before = store.value(name);
        const QByteArray loaded = v.load(store);
        if (!store.available())
            continue;
        if (loaded.size() != v.size)
            std::abort();
        const std::optional<QByteArray> after = store.value(name);
        if (!after || after->size() != v.size)
            std::abort(); // the defaults must have been written back
        if (before && before->size() == v.size && (loaded != *before || *after != *before))
            std::abort(); // a value of the right size is taken and kept as it is
    }
    // The directory's short string never reads past its field.
    const cvg::DirectorySettings dir
        = cvg::loadRecord(store, QStringLiteral("Directory"), cvg::DirectorySettings::defaults(QString()));
    if (dir.path().toUtf8().size() > 255 * 3)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QString file = settingsFile();
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (data[0] & 1) {
        // The bytes are the settings file itself.
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        out.write(rest);
        out.close();
        cvg::QSettingsStore store;
        checkRecords(store);
        return 0;
    }
    // The bytes are values: a name index byte, a length byte, the value.
    QFile::remove(file);
    cvg::MemorySettingsStore memory;
    cvg::QSettingsStore stored;
    qsizetype at = 0;
    while (at + 2 <= rest.size()) {
        const Value& v = values()[size_t(uint8_t(rest[at])) % values().size()];
        const int length = uint8_t(rest[at + 1]) + (uint8_t(rest[at]) >= 128 ? v.size : 0);
        at += 2;
        const QByteArray bytes = rest.mid(at, length);
        at += bytes.size();
        memory.setValue(QString::fromLatin1(v.name), bytes);
        stored.setValue(QString::fromLatin1(v.name), bytes);
        // Any bytes must come back from the file exactly as they went in.
        cvg::QSettingsStore reread;
        const std::optional<QByteArray> back = reread.value(QString::fromLatin1(v.name));
        if (!back || *back != bytes)
            std::abort();
    }
    checkRecords(memory);
    checkRecords(stored);
    return 0;
}
