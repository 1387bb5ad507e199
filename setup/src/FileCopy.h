#pragma once

#include <QString>
#include <optional>

namespace cvg::setup {

// Copies `source` to `destination`, replacing a file that is there, with the
// source's permission bits (so programs stay executable). The copy is written
// beside the destination and renamed over it only when complete, so a failed
// copy leaves the old file as it was. Returns an empty string on success,
// otherwise the system's text for the error.
QString copyReplacing(const QString& source, const QString& destination);

// Writes `bytes` in one piece (a temporary file renamed over the old one),
// creating the missing folders. False when anything failed.
bool writeFile(const QString& path, const QByteArray& bytes);
// The same for `text`, as UTF-8.
bool writeTextFile(const QString& path, const QString& text);
// The UTF-8 text of a file: empty for a missing file, nothing when the file
// cannot be read or is not valid UTF-8 (so that an edit never garbles it).
std::optional<QString> readTextFile(const QString& path);

} // namespace cvg::setup
