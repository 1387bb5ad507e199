#include "platform/FileIO.h"

#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace cvg {

QString cannotOpenFileText(const QString& path, const QString& reason)
{
    QString text = QStringLiteral("ファイル \"%1\" を開けません。").arg(path);
    if (!reason.isEmpty())
        text += QStringLiteral("\r\n") + reason;
    return text;
}

QString cannotCreateFileText(const QString& path, const QString& reason)
{
    QString text = QStringLiteral("ファイル \"%1\" を作成できません。").arg(path);
    if (!reason.isEmpty())
        text += QStringLiteral("\r\n") + reason;
    return text;
}

std::optional<QByteArray> readWholeFile(const QString& path, qint64 maxBytes, QString* reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (reason)
            *reason = file.errorString();
        return std::nullopt;
    }
    const qint64 size = file.size();
    if (size < 0 || size > maxBytes) {
        if (reason)
            *reason = QStringLiteral("ファイルが大きすぎます");
        return std::nullopt;
    }
    QByteArray bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        if (reason)
            *reason = QStringLiteral("メモリが不足しています");
        return std::nullopt;
    }
    // A large file is read in two halves at once: copying it out of the
    // system's cache is much of what opening a document costs. Each half
    // gives the system's error number, or -1 when the file ended early.
    const int fd = file.handle();
    const auto readRange = [fd, &bytes](qint64 from, qint64 to) {
        while (from < to) {
            const ssize_t n = ::pread(fd, bytes.data() + from, size_t(to - from), off_t(from));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? errno : -1;
            from += n;
        }
        return 0;
    };
    constexpr qint64 kSplitBytes = qint64(4) << 20;
    const qint64 half = size >= kSplitBytes ? size / 2 : size;
    int secondError = 0;
    std::thread second;
    if (half < size) {
        try {
            second = std::thread([&] { secondError = readRange(half, size); });
        } catch (const std::system_error&) {
            secondError = readRange(half, size);
        }
    }
    const int firstError = readRange(0, half);
    if (second.joinable())
        second.join();
    if (const int error = firstError != 0 ? firstError : secondError; error != 0) {
        if (reason)
            *reason = error > 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString();
        return std::nullopt;
    }
    return bytes;
}

ReplacingFile::ReplacingFile(const QString& path)
    : path_(path)
{
    // The replacement is renamed over the old file, which the system allows
    // even for a read-only file; a file its owner marked read-only is kept,
    // whoever runs the program.
    const QFileInfo existing(path);
    if (existing.exists()
        && !(existing.permissions()
            & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)))
        throw CvgError(cannotCreateFileText(path, QStringLiteral("読み取り専用のファイルです。")));
    file_ = std::make_unique<QSaveFile>(path);
    if (!file_->open(QIODevice::WriteOnly))
        throw CvgError(cannotCreateFileText(path, file_->errorString()));
}

ReplacingFile::~ReplacingFile()
{
    waitForSync();
}

void ReplacingFile::write(const char* data, size_t size)
{
    errno = 0;
    if (file_->write(data, qint64(size)) != qint64(size))
        fail();
}

void ReplacingFile::syncWritten()
{
    if (sync_.joinable())
        return;
    errno = 0;
    if (!file_->flush())
        fail();
    const int fd = file_->handle();
    try {
        sync_ = std::thread([fd] { ::fdatasync(fd); });
    } catch (const std::system_error&) {
        // No thread to be had: the commit puts everything on the disk.
    }
}

void ReplacingFile::waitForSync()
{
    if (sync_.joinable())
        sync_.join();
}

namespace {

// Opens the regular file at path so that it outlives its name; -1 when there
// is none or it cannot be read.
int holdOpen(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Giving back the blocks of a large replaced file can take a millisecond per
// megabyte on some file systems; the last close does it on a worker, after
// the save has returned.
void releaseLater(int fd)
{
    if (fd < 0)
        return;
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (const std::system_error&) {
        ::close(fd);
    }
}

} // namespace

void ReplacingFile::commit()
{
    waitForSync();
    const int old = holdOpen(path_);
    errno = 0;
    if (!file_->commit()) {
        const int code = errno;
        if (old >= 0)
            ::close(old);
        errno = code;
        fail();
    }
    releaseLater(old);
}

void ReplacingFile::fail()
{
    // A full disk shows up only when the buffered bytes are flushed, where
    // Qt keeps no reason of its own: the system's is told instead.
    const int code = errno;
    QString reason = file_->errorString();
    if (code != 0 && (reason.isEmpty() || reason == QLatin1String("Unknown error")))
        reason = QString::fromLocal8Bit(std::strerror(code));
    waitForSync();
    file_->cancelWriting();
    throw CvgError(cannotCreateFileText(path_, reason));
}

void writeFileReplacing(const QString& path, const QByteArray& bytes)
{
    ReplacingFile file(path);
    file.write(bytes.constData(), size_t(bytes.size()));
    file.commit();
}

} // namespace cvg
