#pragma once

#include <QIcon>
#include <QPixmap>

namespace cvg {

// The tool buttons' pictures, drawn by the program itself (20 x 20).
QIcon toolIcon(const QString& actionName);

// The splash window's picture (293 x 230).
QPixmap splashPicture();

// The program's own icon (32 x 32), for the window and the version window.
QIcon programIcon();

} // namespace cvg
