#include "DesktopFiles.h"

#include "ProductFiles.h"

namespace cvg::setup {

namespace {

const QString kDefaultGroup = QStringLiteral("[Default Applications]");

QString xmlEscaped(const QString& text)
{
    return text.toHtmlEscaped();
}

bool isGroupHeader(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'));
}

// The key of a "key=value" line, or an empty string for comments and blanks.
QString lineKey(const QString& line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char('#')))
        return {};
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : t.left(eq).trimmed();
}

QStringList lineValues(const QString& line)
{
    const QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    QStringList ids = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& id : ids)
        id = id.trimmed();
    ids.removeAll(QString());
    return ids;
}

QString valueLine(const QString& key, const QStringList& ids)
{
    return key + QLatin1Char('=') + ids.join(QLatin1Char(';')) + QLatin1Char(';');
}

struct Lines {
    QStringList lines;
};

Lines splitLines(const QString& text)
{
    Lines l;
    if (text.isEmpty())
        return l;
    l.lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        l.lines.removeLast();
    return l;
}

QString joinLines(const Lines& l)
{
    if (l.lines.isEmpty())
        return {};
    QString out = l.lines.join(QLatin1Char('\n'));
    out += QLatin1Char('\n');
    return out;
}

// The range [begin, end) of lines inside the default group, begin = -1 when absent.
std::pair<qsizetype, qsizetype> defaultGroup(const QStringList& lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() != kDefaultGroup)
            continue;
        qsizetype end = i + 1;
        while (end < lines.size() && !isGroupHeader(lines[end]))
            ++end;
        return { i + 1, end };
    }
    return { -1, -1 };
}

} // namespace

QString quoteExecArgument(const QString& argument)
{
    QString out;
    out.reserve(argument.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

QString escapeDesktopValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    if (out.startsWith(QLatin1Char(' ')))
        out.replace(0, 1, QStringLiteral("\\s"));
    return out;
}

QString desktopEntryText(const DesktopEntry& entry)
{
    QStringList exec;
    for (const QString& arg : entry.command)
        exec << quoteExecArgument(arg);
    if (!entry.fieldCode.isEmpty())
        exec << entry.fieldCode;

    QString out = QStringLiteral("[Desktop Entry]\nType=Application\n");
    out += QStringLiteral("Name=") + escapeDesktopValue(entry.name) + QLatin1Char('\n');
    if (!entry.comment.isEmpty())
        out += QStringLiteral("Comment=") + escapeDesktopValue(entry.comment) + QLatin1Char('\n');
    if (!entry.icon.isEmpty())
        out += QStringLiteral("Icon=") + escapeDesktopValue(entry.icon) + QLatin1Char('\n');
    out += QStringLiteral("Exec=") + escapeDesktopValue(exec.join(QLatin1Char(' '))) + QLatin1Char('\n');
    if (!entry.workingFolder.isEmpty())
        out += QStringLiteral("Path=") + escapeDesktopValue(entry.workingFolder) + QLatin1Char('\n');
    if (!entry.mimeType.isEmpty())
        out += QStringLiteral("MimeType=") + entry.mimeType + QStringLiteral(";\n");
    if (!entry.categories.isEmpty())
        out += QStringLiteral("Categories=") + entry.categories + QStringLiteral(";\n");
    if (entry.noDisplay)
        out += QStringLiteral("NoDisplay=true\n");
    out += QStringLiteral("Terminal=false\n");
    return out;
}

QString mimePackageText(const QString& comment)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                          "  <mime-type type=\"")
        + kMimeType + QStringLiteral("\">\n    <comment>") + xmlEscaped(comment)
        + QStringLiteral("</comment>\n    <icon name=\"") + kIconName
        + QStringLiteral("\"/>\n"
                         "    <glob pattern=\"*.cvd\"/>\n"
                         "  </mime-type>\n"
                         "</mime-info>\n");
}

QString groupMenuText()
{
    // Menu readers take the file without a document type; a plain XML
    // declaration keeps it well-formed on its own.
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<Menu>\n"
                          "  <Name>Applications</Name>\n"
                          "  <Menu>\n"
                          "    <Name>")
        + kGroupFolder + QStringLiteral("</Name>\n    <Directory>") + kProductFolder
        + QStringLiteral(".directory</Directory>\n"
                         "    <Include>\n"
                         "      <Category>")
        + kGroupCategory
        + QStringLiteral("</Category>\n"
                         "    </Include>\n"
                         "  </Menu>\n"
                         "</Menu>\n");
}

QString groupDirectoryText()
{
    return QStringLiteral("[Desktop Entry]\nType=Directory\nName=") + kGroupFolder + QStringLiteral("\nIcon=")
        + kIconName + QLatin1Char('\n');
}

QString withDefaultApplication(const QString& mimeAppsText, const QString& mimeType, const QString& desktopId)
{
    Lines l = splitLines(mimeAppsText);
    auto [begin, end] = defaultGroup(l.lines);
    if (begin < 0) {
        if (!l.lines.isEmpty() && !l.lines.last().trimmed().isEmpty())
            l.lines << QString();
        l.lines << kDefaultGroup << valueLine(mimeType, { desktopId });
        return joinLines(l);
    }
    for (qsizetype i = begin; i < end; ++i) {
        if (lineKey(l.lines[i]) != mimeType)
            continue;
        QStringList ids = lineValues(l.lines[i]);
        ids.removeAll(desktopId);
        ids.prepend(desktopId);
        l.lines[i] = valueLine(mimeType, ids);
        return joinLines(l);
    }
    // After the group's last entry, before the blank lines that part it from the next.
    qsizetype at = end;
    while (at > begin && l.lines[at - 1].trimmed().isEmpty())
        --at;
    l.lines.insert(at, valueLine(mimeType, { desktopId }));
    return joinLines(l);
}

QString withoutDefaultApplication(
    const QString& mimeAppsText, const QString& mimeType, const QString& desktopId)
{
    Lines l = splitLines(mimeAppsText);
    auto [begin, end] = defaultGroup(l.lines);
    if (begin < 0)
        return mimeAppsText;
    for (qsizetype i = begin; i < end; ++i) {
        if (lineKey(l.lines[i]) != mimeType)
            continue;
        QStringList ids = lineValues(l.lines[i]);
        if (!ids.contains(desktopId))
            return mimeAppsText;
        ids.removeAll(desktopId);
        if (!ids.isEmpty()) {
            l.lines[i] = valueLine(mimeType, ids);
            return joinLines(l);
        }
        l.lines.removeAt(i);
        --end;
        // A group left with nothing in it goes too, with the blank lines before it.
        bool empty = true;
        for (qsizetype j = begin; j < end; ++j)
            empty = empty && l.lines[j].trimmed().isEmpty();
        if (empty) {
            qsizetype from = begin - 1;
            while (from > 0 && l.lines[from - 1].trimmed().isEmpty())
                --from;
            l.lines.erase(l.lines.begin() + from, l.lines.begin() + end);
        }
        return joinLines(l);
    }
    return mimeAppsText;
}

bool hasControlCharacters(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

} // namespace cvg::setup
