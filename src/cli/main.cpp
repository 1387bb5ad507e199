// cvglean-cli: the headless batch tool. Each command is one entry of the
// table below; it needs no display.
#include "image/BmpCodec.h"
#include "image/JpegCodec.h"
#include "image/MetafilePlayer.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailed = 2;

const char* const kVersionText = "Curvegleaner32 Ver. 1.27";

struct Command {
    const char* name;
    const char* synopsis; // arguments after the name
    const char* summary;
    int (*run)(const QStringList& args);
};

int runConvert(const QStringList& args);

const Command kCommands[] = {
    { "convert", "INPUT OUTPUT",
        "Read a picture (.bmp, .jpg, .wmf, .emf) and write it as a 24-bit .bmp or a .jpg (quality 90).",
        runConvert },
};

void printTo(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

QString usageText()
{
    QString text = QStringLiteral("Usage: cvglean-cli COMMAND [ARGUMENTS]\n"
                                  "       cvglean-cli --help | --version\n\nCommands:\n");
    for (const Command& c : kCommands)
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QString::fromUtf8(c.name), QString::fromUtf8(c.synopsis),
                        QString::fromUtf8(c.summary));
    text += QStringLiteral("\nExit status: 0 success, 1 usage error, 2 the command failed.\n");
    return text;
}

int usageError(const QString& reason)
{
    printTo(stderr, QStringLiteral("cvglean-cli: %1\n\n").arg(reason) + usageText());
    return kExitUsage;
}

int failure(const QString& reason)
{
    QString text = reason;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    printTo(stderr, QStringLiteral("cvglean-cli: %1\n").arg(text));
    return kExitFailed;
}

// The extension as the program compares it: the text from the last "." of
// the file name on (empty when there is none), case-sensitive.
QString extensionOf(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

enum class PictureKind { None, Bitmap, Jpeg, Metafile };

PictureKind readerFor(const QString& extension)
{
    if (extension == QLatin1String(".bmp"))
        return PictureKind::Bitmap;
    if (extension == QLatin1String(".jpg"))
        return PictureKind::Jpeg;
    if (extension == QLatin1String(".wmf") || extension == QLatin1String(".emf"))
        return PictureKind::Metafile;
    return PictureKind::None;
}

int runConvert(const QStringList& args)
{
    if (args.size() != 2)
        return usageError(QStringLiteral("convert needs INPUT and OUTPUT"));
    const QString& input = args[0];
    const QString& output = args[1];

    const PictureKind reader = readerFor(extensionOf(input));
    if (reader == PictureKind::None)
        return failure(QStringLiteral("%1: このファイル形式は読込むことができません").arg(input));
    const PictureKind writer = readerFor(extensionOf(output));
    if (writer != PictureKind::Bitmap && writer != PictureKind::Jpeg)
        return failure(QStringLiteral("%1: このファイル形式で保存することはできません").arg(output));

    // Tell a file that cannot be opened from one that is not a picture.
    QFile probe(input);
    if (!probe.open(QIODevice::ReadOnly))
        return failure(cvg::cannotOpenFileText(input, probe.errorString()));
    probe.close();

    QImage picture;
    bool loaded = false;
    switch (reader) {
    case PictureKind::Bitmap:
        loaded = cvg::LoadBmpPicture(input, picture);
        break;
    case PictureKind::Jpeg:
        loaded = cvg::LoadJpegPicture(input, picture);
        break;
    case PictureKind::Metafile:
        loaded = cvg::LoadMetafilePicture(input, cvg::kDefaultScreenDpi, picture);
        break;
    case PictureKind::None:
        break;
    }
    if (!loaded)
        return failure(QStringLiteral("ファイル \"%1\" を画像として読込むことができません。").arg(input));

    try {
        if (writer == PictureKind::Bitmap)
            cvg::SaveBmpPicture(output, picture);
        else
            cvg::SaveJpegPicture(output, picture);
    } catch (const cvg::CvgError& e) {
        return failure(e.userText());
    }
    return kExitOk;
}

int dispatch(const QStringList& args)
{
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString& first = args[0];
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        printTo(stdout, usageText());
        return kExitOk;
    }
    if (first == QLatin1String("--version")) {
        printTo(stdout, QString::fromUtf8(kVersionText) + QLatin1Char('\n'));
        return kExitOk;
    }
    for (const Command& c : kCommands) {
        if (first == QLatin1String(c.name)) {
            const QStringList rest = args.mid(1);
            if (rest.contains(QLatin1String("--help"))) {
                printTo(stdout, usageText());
                return kExitOk;
            }
            return c.run(rest);
        }
    }
    return usageError(QStringLiteral("unknown command \"%1\"").arg(first));
}

} // namespace

int main(int argc, char** argv)
{
    // Text in metafiles needs fonts, and fonts need a GUI application; the
    // offscreen platform gives one without any display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard error carries the tool's own messages only; the toolkit's
    // notes about its environment would make them hard to read by scripts.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg || type == QtCriticalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const int status = dispatch(args);
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}
