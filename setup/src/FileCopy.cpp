#include "FileCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cvg::setup {

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes the descriptor when the scope ends.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int release()
    {
        const int f = fd;
        fd = -1;
        return f;
    }
};

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

QString copyReplacing(const QString& source, const QString& destination)
{
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(destination);

    Fd in;
    in.fd = ::open(src.constData(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0)
        return systemText(errno);
    struct stat st { };
    if (::fstat(in.fd, &st) != 0)
        return systemText(errno);
    if (S_ISDIR(st.st_mode))
        return systemText(EISDIR);

    QByteArray temp = dst + ".XXXXXX";
    Fd out;
    out.fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out.fd < 0)
        return systemText(errno);

    int error = 0;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in.fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        if (n == 0)
            break;
        if (!writeAll(out.fd, buffer, static_cast<size_t>(n))) {
            error = errno;
            break;
        }
    }
    if (error == 0 && ::fchmod(out.fd, st.st_mode & 0777) != 0)
        error = errno;
    if (error == 0 && ::fsync(out.fd) != 0)
        error = errno;
    if (::close(out.release()) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.constData(), dst.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        return systemText(error);
    }
    return {};
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(bytes);
    return f.commit();
}

bool writeTextFile(const QString& path, const QString& text)
{
    return writeFile(path, text.toUtf8());
}

std::optional<QString> readTextFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return QString();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        return std::nullopt;
    return text;
}

} // namespace cvg::setup
