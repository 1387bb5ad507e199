#pragma once

#include "image/ImageSet.h"
#include "platform/FileIO.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace cvg {

// Picture files larger than this are not read at all.
constexpr qint64 kMaxPictureFileBytes = qint64(1) << 30;

// Reads a whole picture file and decodes its bytes with decode(bytes,
// picture). out becomes a new empty picture first and the decoded picture
// only on success, so a failed read leaves the empty picture to be shown.
template <typename Decode> bool loadPictureFile(const QString& path, QImage& out, Decode decode)
{
    out = newPicture(0, 0);
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxPictureFileBytes);
    if (!bytes)
        return false;
    QImage picture;
    if (!decode(*bytes, picture))
        return false;
    out = picture;
    return true;
}

// Shown instead of writing a broken file when the chosen picture is empty.
inline QString noPictureToSaveText()
{
    return QStringLiteral("保存する画像がありません。");
}

} // namespace cvg
