#include "RegistrationRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace cvg::setup {

namespace {

QString keyPath(const QString& root, const QString& key)
{
    QString k = key;
    while (k.startsWith(QLatin1Char('\\')))
        k.remove(0, 1);
    while (k.endsWith(QLatin1Char('\\')))
        k.chop(1);
    return k.isEmpty() ? root : root + QLatin1Char('\\') + k;
}

bool sameKey(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isBelow(const QString& path, const QString& key)
{
    return path.size() > key.size() + 1 && path.at(key.size()) == QLatin1Char('\\')
        && sameKey(path.left(key.size()), key);
}

QString quoted(const QString& s)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

// Reads a quoted string starting at `pos`; advances `pos` past it.
std::optional<QString> unquoted(const QString& line, qsizetype& pos)
{
    if (pos >= line.size() || line.at(pos) != QLatin1Char('"'))
        return std::nullopt;
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        QChar c = line.at(pos);
        if (c == QLatin1Char('"')) {
            ++pos;
            return out;
        }
        if (c == QLatin1Char('\\')) {
            if (++pos >= line.size())
                return std::nullopt;
            switch (line.at(pos).unicode()) {
            case 'n':
                c = QLatin1Char('\n');
                break;
            case 'r':
                c = QLatin1Char('\r');
                break;
            case 't':
                c = QLatin1Char('\t');
                break;
            default:
                c = line.at(pos);
            }
        }
        out += c;
    }
    return std::nullopt;
}

} // namespace

RegistrationRecord RegistrationRecord::load(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // The record is a few hundred bytes; anything huge is not ours.
    if (f.size() > 1 << 20)
        return {};
    return parse(QString::fromUtf8(f.readAll()));
}

RegistrationRecord RegistrationRecord::parse(const QString& text)
{
    RegistrationRecord r;
    QString current;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = keyPath(line.mid(1, line.size() - 2), QString());
            if (!r.find(current))
                r.keys_.push_back({ current, {} });
            continue;
        }
        if (current.isEmpty())
            continue;
        qsizetype pos = 0;
        QString name;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else {
            auto n = unquoted(line, pos);
            if (!n)
                continue;
            name = *n;
        }
        if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
            continue;
        ++pos;
        auto data = unquoted(line, pos);
        if (!data || pos != line.size())
            continue;
        Key* k = r.find(current);
        auto it = std::find_if(
            k->values.begin(), k->values.end(), [&](const Value& v) { return sameKey(v.name, name); });
        if (it != k->values.end())
            it->data = *data;
        else
            k->values.push_back({ name, *data });
    }
    return r;
}

RegistrationRecord::Key* RegistrationRecord::find(const QString& path)
{
    for (Key& k : keys_) {
        if (sameKey(k.path, path))
            return &k;
    }
    return nullptr;
}

const RegistrationRecord::Key* RegistrationRecord::find(const QString& path) const
{
    return const_cast<RegistrationRecord*>(this)->find(path);
}

void RegistrationRecord::setValue(
    const QString& root, const QString& key, const QString& name, const QString& data)
{
    const QString path = keyPath(root, key);
    Key* k = find(path);
    if (!k) {
        keys_.push_back({ path, {} });
        k = &keys_.back();
    }
    for (Value& v : k->values) {
        if (sameKey(v.name, name)) {
            v.data = data;
            return;
        }
    }
    k->values.push_back({ name, data });
}

std::optional<QString> RegistrationRecord::value(
    const QString& root, const QString& key, const QString& name) const
{
    const Key* k = find(keyPath(root, key));
    if (!k)
        return std::nullopt;
    for (const Value& v : k->values) {
        if (sameKey(v.name, name))
            return v.data;
    }
    return std::nullopt;
}

bool RegistrationRecord::hasKey(const QString& root, const QString& key) const
{
    return find(keyPath(root, key)) != nullptr;
}

void RegistrationRecord::deleteKey(const QString& root, const QString& key)
{
    const QString path = keyPath(root, key);
    std::erase_if(keys_, [&](const Key& k) { return sameKey(k.path, path) || isBelow(k.path, path); });
}

QString RegistrationRecord::text() const
{
    QString out;
    for (const Key& k : keys_) {
        out += QLatin1Char('[') + k.path + QStringLiteral("]\n");
        for (const Value& v : k.values) {
            out += v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name);
            out += QLatin1Char('=') + quoted(v.data) + QLatin1Char('\n');
        }
    }
    return out;
}

bool RegistrationRecord::save(const QString& path) const
{
    if (keys_.empty()) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            return false;
        QDir().rmdir(QFileInfo(path).path());
        return true;
    }
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(text().toUtf8());
    return f.commit();
}

} // namespace cvg::setup
