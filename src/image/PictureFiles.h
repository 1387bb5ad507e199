#pragma once

#include <QString>
#include <QtGlobal>

namespace cvg {

// Picture files larger than this are not read at all.
constexpr qint64 kMaxPictureFileBytes = qint64(1) << 30;

// Shown instead of writing a broken file when the chosen picture is empty.
inline QString noPictureToSaveText()
{
    return QStringLiteral("保存する画像がありません。");
}

} // namespace cvg
