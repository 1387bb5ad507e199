#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace cvg {

// The tool buttons' pictures, drawn by the program itself (20 x 20).
QIcon toolIcon(const QString& actionName);

// The splash window's picture (293 x 230).
QPixmap splashPicture();

// The program's own icon, drawn at `size` x `size` pixels (32 is the
// window's and the version window's size; the installer ships it in the
// desktop's icon sizes).
QImage programIconImage(int size);
// The program's own icon in the sizes a desktop asks for, for the windows.
QIcon programIcon();

} // namespace cvg
