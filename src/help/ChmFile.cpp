#include "help/ChmFile.h"

#include "platform/ByteIO.h"
#include "platform/Cp932.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

#include <chm_lib.h>

namespace cvg {

// ---- the file ----------------------------------------------------------------------

ChmFile::ChmFile(chmFile* handle, const QString& path)
    : handle_(handle)
    , path_(path)
{ }

ChmFile::~ChmFile()
{
    chm_close(handle_);
}

std::unique_ptr<ChmFile> ChmFile::open(const QString& path)
{
    chmFile* handle = chm_open(QFile::encodeName(path).constData());
    if (!handle)
        return nullptr;
    std::unique_ptr<ChmFile> file(new ChmFile(handle, path));
    file->readSystemRecord();
    return file;
}

namespace {

bool resolve(chmFile* handle, const QString& objectPath, chmUnitInfo& info)
{
    const QByteArray name = objectPath.toUtf8();
    if (name.isEmpty() || name.size() > CHM_MAX_PATHLEN)
        return false;
    return chm_resolve_object(handle, name.constData(), &info) == CHM_RESOLVE_SUCCESS;
}

} // namespace

bool ChmFile::contains(const QString& objectPath) const
{
    chmUnitInfo info {};
    return resolve(handle_, objectPath, info);
}

std::optional<QByteArray> ChmFile::read(const QString& objectPath) const
{
    chmUnitInfo info {};
    if (!resolve(handle_, objectPath, info))
        return std::nullopt;
    // A damaged directory may claim any length: refuse before allocating.
    if (info.length > LONGUINT64(kMaxObjectSize))
        return std::nullopt;
    QByteArray bytes(qsizetype(info.length), Qt::Uninitialized);
    if (info.length == 0)
        return bytes;
    const LONGINT64 got = chm_retrieve_object(
        handle_, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0, LONGINT64(info.length));
    if (got != LONGINT64(info.length))
        return std::nullopt;
    return bytes;
}

void ChmFile::readSystemRecord()
{
    const std::optional<QByteArray> bytes = read(QStringLiteral("/#SYSTEM"));
    if (!bytes)
        return;
    const ChmSystemRecord record = parseChmSystemRecord(*bytes);
    title_ = decodeHelpText(record.title);
    defaultTopic_ = decodeHelpText(record.defaultTopic);
    contentsFile_ = decodeHelpText(record.contentsFile);
    indexFile_ = decodeHelpText(record.indexFile);
}

QString chmObjectPath(const QString& topic)
{
    QString path = topic;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    return path;
}

ChmSystemRecord parseChmSystemRecord(const QByteArray& bytes)
{
    ChmSystemRecord record;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    // A version of four bytes, then entries: code, length, data.
    qsizetype at = 4;
    while (at + 4 <= size) {
        const uint16_t code = getU16(p + at);
        const uint16_t length = getU16(p + at + 2);
        at += 4;
        if (length > size - at)
            break;
        QByteArray text(reinterpret_cast<const char*>(p + at), length);
        const qsizetype end = text.indexOf('\0');
        if (end >= 0)
            text.truncate(end);
        switch (code) {
        case 0:
            record.contentsFile = text;
            break;
        case 1:
            record.indexFile = text;
            break;
        case 2:
            record.defaultTopic = text;
            break;
        case 3:
            record.title = text;
            break;
        default:
            break;
        }
        at += length;
    }
    return record;
}

// ---- text of pages -----------------------------------------------------------------

QByteArray declaredCharset(const QByteArray& page)
{
    if (page.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    if (page.startsWith("\xFF\xFE"))
        return "UTF-16LE";
    if (page.startsWith("\xFE\xFF"))
        return "UTF-16BE";
    // The declaration stands in the head; a page's first few kilobytes hold it.
    const QString head = QString::fromLatin1(page.left(8192));
    static const QRegularExpression meta(
        QStringLiteral(R"(<meta\b[^>]*?charset\s*=\s*["']?\s*([A-Za-z0-9._:\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch match = meta.match(head);
    if (match.hasMatch())
        return match.captured(1).toLatin1();
    static const QRegularExpression xml(
        QStringLiteral(R"(^\s*<\?xml\b[^>]*?encoding\s*=\s*["']([A-Za-z0-9._:\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    match = xml.match(head);
    if (match.hasMatch())
        return match.captured(1).toLatin1();
    return {};
}

namespace {

bool isShiftJisName(const QByteArray& name)
{
    static const char* const names[] = { "shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis",
        "windows-31j", "cp932", "ms932", "x-ms-cp932" };
    const QByteArray lower = name.toLower();
    for (const char* n : names)
        if (lower == n)
            return true;
    return false;
}

std::optional<QString> strictUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString withoutBom(QString text)
{
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

} // namespace

QString decodeHelpText(const QByteArray& bytes)
{
    if (std::optional<QString> text = strictUtf8(bytes))
        return *text;
    return fromCp932(bytes);
}

QString decodeHtml(const QByteArray& page)
{
    const QByteArray charset = declaredCharset(page);
    if (!charset.isEmpty()) {
        if (isShiftJisName(charset))
            return fromCp932(page);
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return withoutBom(decoder.decode(page));
    }
    return withoutBom(decodeHelpText(page));
}

// ---- contents and index files ------------------------------------------------------

namespace {

QString decodeEntities(const QString& text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const QRegularExpression entity(
        QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6}|[A-Za-z]{2,8});"));
    QString out;
    qsizetype last = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        QString replacement = m.captured(0);
        if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = name.at(1).toLower() == QLatin1Char('x') ? name.mid(2).toUInt(&ok, 16)
                                                                       : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t c = char32_t(code);
                replacement = QString::fromUcs4(&c, 1);
            }
        } else if (name == QLatin1String("amp")) {
            replacement = QStringLiteral("&");
        } else if (name == QLatin1String("lt")) {
            replacement = QStringLiteral("<");
        } else if (name == QLatin1String("gt")) {
            replacement = QStringLiteral(">");
        } else if (name == QLatin1String("quot")) {
            replacement = QStringLiteral("\"");
        } else if (name == QLatin1String("apos")) {
            replacement = QStringLiteral("'");
        } else if (name == QLatin1String("nbsp")) {
            replacement = QString(QChar(0xA0));
        }
        out += replacement;
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

// The attributes of one tag, names in lower case.
QHash<QString, QString> attributes(const QString& tagBody)
{
    static const QRegularExpression attribute(
        QStringLiteral(R"re(([A-Za-z_:][-A-Za-z0-9_:.]*)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
    QHash<QString, QString> result;
    for (auto it = attribute.globalMatch(tagBody); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString value = m.captured(2);
        if (m.capturedStart(2) < 0)
            value = m.capturedStart(3) >= 0 ? m.captured(3) : m.captured(4);
        result.insert(m.captured(1).toLower(), decodeEntities(value));
    }
    return result;
}

} // namespace

std::vector<HelpEntry> parseSitemap(const QString& html)
{
    std::vector<HelpEntry> root;
    // The lists entered: a nested list belongs to the entry just before it.
    std::vector<std::vector<HelpEntry>*> lists;
    std::optional<HelpEntry> open;
    bool nameSet = false;
    static const QRegularExpression tag(QStringLiteral(R"(<\s*(/?)\s*([A-Za-z]+)([^>]*)>)"));
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        if (name == QLatin1String("ul")) {
            if (closing) {
                if (!lists.empty())
                    lists.pop_back();
            } else if (lists.empty()) {
                lists.push_back(&root);
            } else {
                std::vector<HelpEntry>* current = lists.back();
                lists.push_back(current->empty() ? current : &current->back().children);
            }
        } else if (name == QLatin1String("object")) {
            if (!closing) {
                open = HelpEntry {};
                nameSet = false;
            } else if (open) {
                if (!open->name.isEmpty() || !open->local.isEmpty())
                    (lists.empty() ? root : *lists.back()).push_back(std::move(*open));
                open.reset();
            }
        } else if (name == QLatin1String("param") && open) {
            const QHash<QString, QString> attrs = attributes(m.captured(3));
            const QString param = attrs.value(QStringLiteral("name")).toLower();
            const QString value = attrs.value(QStringLiteral("value"));
            // An index entry may list several pages; the first name and page count.
            if (param == QLatin1String("name") && !nameSet) {
                open->name = value;
                nameSet = true;
            } else if (param == QLatin1String("local") && open->local.isEmpty()) {
                open->local = value;
            }
        }
    }
    return root;
}

} // namespace cvg
