#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

struct chmFile;

namespace cvg {

// A compiled HTML help file opened for reading: its pages, pictures and
// style sheets by their path inside the file ("/Introduction.htm"), and what
// its system record names (title, default topic, contents and index).
class ChmFile {
public:
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // Nothing when the file cannot be opened or is no compiled help file.
    static std::unique_ptr<ChmFile> open(const QString& path);

    // The object's bytes; nothing when the file holds no such object or it
    // cannot be read whole. Objects larger than kMaxObjectSize are refused.
    std::optional<QByteArray> read(const QString& objectPath) const;
    bool contains(const QString& objectPath) const;

    const QString& path() const { return path_; }
    const QString& title() const { return title_; }
    const QString& defaultTopic() const { return defaultTopic_; }
    const QString& contentsFile() const { return contentsFile_; }
    const QString& indexFile() const { return indexFile_; }

    static constexpr qint64 kMaxObjectSize = 64 * 1024 * 1024;

private:
    ChmFile(chmFile* handle, const QString& path);
    void readSystemRecord();

    chmFile* handle_;
    QString path_;
    QString title_;
    QString defaultTopic_;
    QString contentsFile_;
    QString indexFile_;
};

// The path inside the help file for a topic name or a link path: a leading
// "/" is added, "\" becomes "/".
QString chmObjectPath(const QString& topic);

// The system record's strings (code 0 contents file, 1 index file, 2 default
// topic, 3 title); every length is checked against what the record holds.
struct ChmSystemRecord {
    QByteArray contentsFile, indexFile, defaultTopic, title;
};
ChmSystemRecord parseChmSystemRecord(const QByteArray& bytes);

// The charset a page declares: a byte order mark, a <meta> charset or
// content type, or an XML declaration's encoding; empty when none.
QByteArray declaredCharset(const QByteArray& page);
// The page's text decoded by its declared charset. The Shift-JIS family is
// read as code page 932; without a usable declaration, UTF-8 when the bytes
// are valid UTF-8, else code page 932 (the help file's language).
QString decodeHtml(const QByteArray& page);
// Text that is not a page (titles in the system record): UTF-8 when valid,
// else code page 932.
QString decodeHelpText(const QByteArray& bytes);

// One entry of a contents or index file ("sitemap"): its name, its page and
// the entries under it.
struct HelpEntry {
    QString name;
    QString local;
    std::vector<HelpEntry> children;
};
std::vector<HelpEntry> parseSitemap(const QString& html);

} // namespace cvg
