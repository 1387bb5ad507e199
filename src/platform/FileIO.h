#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace cvg {

// The texts of the general error report for files.
QString cannotOpenFileText(const QString& path, const QString& reason);
QString cannotCreateFileText(const QString& path, const QString& reason);

// Reads a whole file; nothing when it cannot be opened or read, or when it is
// larger than maxBytes (checked before anything is allocated).
std::optional<QByteArray> readWholeFile(const QString& path, qint64 maxBytes,
                                        QString* reason = nullptr);

// Writes bytes to a temporary file beside path and replaces path only when
// everything was written; the old file stays untouched on any failure.
// Throws CvgError with cannotCreateFileText on failure.
void writeFileReplacing(const QString& path, const QByteArray& bytes);

} // namespace cvg
