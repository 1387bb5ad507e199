#include "worksheet/DocumentState.h"

namespace cvg {

namespace {
// Names are kept to 255 bytes, as the document file's short strings hold them.
QString cut255(const QString& s)
{
    QString out = s;
    while (out.toUtf8().size() > 255)
        out.chop(1);
    return out;
}
} // namespace

QString extensionOf(const QString& path)
{
    const int slash = int(path.lastIndexOf(QLatin1Char('/')));
    const int dot = int(path.lastIndexOf(QLatin1Char('.')));
    if (dot <= slash)
        return QString();
    return path.mid(dot);
}

void DocumentFileName::setFromPath(const QString& fullPath)
{
    const int slash = int(fullPath.lastIndexOf(QLatin1Char('/')));
    folder = fullPath.left(slash + 1);
    const QString name = fullPath.mid(slash + 1);
    fileName = cut255(name);
    extension = cut255(extensionOf(name));
    stem = cut255(name.left(name.size() - extensionOf(name).size()));
}

} // namespace cvg
