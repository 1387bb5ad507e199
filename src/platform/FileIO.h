#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <memory>
#include <optional>
#include <thread>

class QSaveFile;

namespace cvg {

// The texts of the general error report for files.
QString cannotOpenFileText(const QString& path, const QString& reason);
QString cannotCreateFileText(const QString& path, const QString& reason);

// Reads a whole file; nothing when it cannot be opened or read, or when it is
// larger than maxBytes (checked before anything is allocated).
std::optional<QByteArray> readWholeFile(const QString& path, qint64 maxBytes, QString* reason = nullptr);

// A file written piece by piece into a temporary file beside path, which
// replaces path on commit(); dropped without a commit, it leaves path
// untouched. A read-only path, a file that cannot be created and every
// failed write throw CvgError with cannotCreateFileText.
class ReplacingFile {
public:
    explicit ReplacingFile(const QString& path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(const char* data, size_t size);
    // Starts putting what was written so far on the disk on a worker
    // thread, so that the commit waits only for what comes after it.
    void syncWritten();
    // Everything on the disk, then path replaced.
    void commit();

private:
    [[noreturn]] void fail();
    void waitForSync();

    QString path_;
    std::unique_ptr<QSaveFile> file_;
    std::thread sync_;
};

// Writes bytes to a temporary file beside path and replaces path only when
// everything was written; the old file stays untouched on any failure.
// Throws CvgError with cannotCreateFileText on failure.
void writeFileReplacing(const QString& path, const QByteArray& bytes);

} // namespace cvg
