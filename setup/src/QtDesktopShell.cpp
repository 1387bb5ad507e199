#include "QtDesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

namespace cvg::setup {

bool QtDesktopShell::openDocument(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace cvg::setup
