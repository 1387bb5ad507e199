#include "platform/FileIO.h"

#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <new>

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
    qint64 got = 0;
    while (got < size) {
        const qint64 n = file.read(bytes.data() + got, size - got);
        if (n <= 0)
            break;
        got += n;
    }
    if (got != size) {
        if (reason)
            *reason = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

void writeFileReplacing(const QString& path, const QByteArray& bytes)
{
    // The replacement is renamed over the old file, which the system allows
    // even for a read-only file; a file its owner marked read-only is kept,
    // whoever runs the program.
    const QFileInfo existing(path);
    if (existing.exists()
        && !(existing.permissions()
            & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)))
        throw CvgError(cannotCreateFileText(path, QStringLiteral("読み取り専用のファイルです。")));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw CvgError(cannotCreateFileText(path, file.errorString()));
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        // A full disk shows up only when the buffered bytes are flushed,
        // where Qt keeps no reason of its own: the system's is told instead.
        const int code = errno;
        QString reason = file.errorString();
        if (code != 0 && (reason.isEmpty() || reason == QLatin1String("Unknown error")))
            reason = QString::fromLocal8Bit(std::strerror(code));
        file.cancelWriting();
        throw CvgError(cannotCreateFileText(path, reason));
    }
}

} // namespace cvg
