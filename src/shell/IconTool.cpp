// Build step of the installer: writes the program's icon in the desktop's
// icon theme layout.
//   cvgicon-tool FOLDER NAME SIZE...   writes FOLDER/<size>x<size>/apps/NAME.png
#include "shell/Icons.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: cvgicon-tool FOLDER NAME SIZE...\n");
        return 2;
    }
    for (const QString& text : args.mid(3)) {
        bool ok = false;
        const int size = text.toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "not an icon size: %s\n", qPrintable(text));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args.at(1)).arg(size);
        const QString path = folder + QLatin1Char('/') + args.at(2) + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !cvg::programIconImage(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
