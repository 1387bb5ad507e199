#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace cvg {

// Screen pixels per inch where there is no screen.
constexpr double kDefaultScreenDpi = 96.0;

// Plays an enhanced metafile (recognised by its header whatever the name) or
// a placeable Windows metafile into a white 24-bit picture of its natural
// size at screenDpi. A Windows metafile without the placeable header fails.
bool playMetafile(const QByteArray& bytes, double screenDpi, QImage& out);

bool LoadMetafilePicture(const QString& path, double screenDpi, QImage& out);

} // namespace cvg
