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

#include "CliSupport.h"

namespace cli {
int runCalibrate(const QStringList& args);
int runInfo(const QStringList& args);
int runExport(const QStringList& args);
int runTrace(const QStringList& args);
int runInterpolate(const QStringList& args);
int runRender(const QStringList& args);
} // namespace cli

using namespace cli;

namespace {

const char* const kVersionText = "Curvegleaner32 Ver. 1.27";

struct Command {
    const char* name;
    const char* synopsis; // arguments after the name
    const char* summary;
    int (*run)(const QStringList& args);
};

int runConvert(const QStringList& args);

const Command kCommands[] = {
    {"convert", "INPUT OUTPUT [--page N] [--dpi D] [--crop LEFT,TOP,RIGHT,BOTTOM]",
     "Read a picture (.bmp, .jpg, .wmf, .emf, .png, .gif, .tif, .tiff, .webp) and write it as a 24-bit .bmp "
     "or a .jpg (quality 90). A PDF (.pdf) gives page N (default 1) at D dots per inch (72 to 1200, default "
     "300), only the crop when one is given (points from the page's top-left corner).",
     runConvert},
    {"calibrate",
     "PICTURE OUTPUT.cvd --y-upper X,Y,VALUE --y-lower X,Y,VALUE --x-left X,Y,VALUE --x-right X,Y,VALUE "
     "[--x-log] [--y-log] [--page N] [--dpi D] [--crop LEFT,TOP,RIGHT,BOTTOM]",
     "Calibrate a picture or a PDF page (X pixel column, Y upward from the bottom) and write a converted "
     "document with one empty page.",
     runCalibrate},
    {"info", "DOC.cvd", "Print the document's pictures, calibration and pages as JSON.", runInfo},
    {"export", "DOC.cvd [--page N] [--format tab|csv|prn] [--pixels] [--output FILE]",
     "Write a page's converted values (or with --pixels its stored X and Y) as the program's text export.",
     runExport},
    {"trace",
     "DOC.cvd --rect LEFT,TOP,RIGHT,BOTTOM [--threshold N | --colour RRGGBB [--tolerance N]] [--interval N] "
     "[--average | --follow X,Y [--max-gap N] | --markers [--marker-size N] | --bars] "
     "[--exclude LEFT,TOP,RIGHT,BOTTOM]... [--precise] [--output OUT.cvd]",
     "Trace the dark line inside a rectangle of the corrected picture into a page; with --colour the pixels "
     "within the tolerance (0 to 441, default 60) of that colour instead. --average keeps one point per column "
     "at the mean row; --precise one per column at the coverage-weighted centre, to a fraction of a pixel. "
     "--follow reads the one curve through the pixel X,Y (within 3 pixels) across crossings and gaps of up to "
     "--max-gap columns (default 5 % of the rectangle's width); --markers gives one point per marker (of about "
     "--marker-size pixels, found from the picture when not given); --bars one per bar, at its centre and its "
     "free end. Each --exclude leaves a rectangle out; points, seeds and rectangles count columns and rows of "
     "the corrected picture from its top-left corner, right and bottom exclusive.",
     runTrace},
    {"interpolate", "DOC.cvd [--page N] [--method linear|spline] [--distance D] [--sort] [--output OUT.cvd]",
     "Interpolate a page into a new page at the end.", runInterpolate},
    {"render", "DOC.cvd OUTPUT [--page N] [--no-lines]",
     "Write the corrected picture with a page's points drawn as the main view draws them.", runRender},
};

} // namespace

namespace cli {

QString usageText()
{
    QString text = QStringLiteral("Usage: cvglean-cli COMMAND [ARGUMENTS]\n"
                                  "       cvglean-cli --help | --version\n\nCommands:\n");
    for (const Command& c : kCommands)
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QString::fromUtf8(c.name), QString::fromUtf8(c.synopsis), QString::fromUtf8(c.summary));
    text += QStringLiteral("\nExit status: 0 success, 1 usage error, 2 the command failed.\n");
    return text;
}

} // namespace cli

namespace {

int runConvert(const QStringList& args)
{
    const Options options = parseOptions(args, pdfOptionNames(), {});
    if (!options.error.isEmpty())
        return usageError(options.error);
    if (options.operands.size() != 2)
        return usageError(QStringLiteral("convert needs INPUT and OUTPUT"));
    const QString& input = options.operands[0];
    const QString& output = options.operands[1];
    QString error;
    const std::optional<cvg::PdfPageRequest> pdf = pdfRequest(options, input, error);
    if (!pdf)
        return usageError(error);
    if (pictureKindOf(input) == PictureKind::None)
        return failure(QStringLiteral("%1: このファイル形式は読込むことができません").arg(input));
    const PictureKind writer = pictureKindOf(output);
    if (writer != PictureKind::Bitmap && writer != PictureKind::Jpeg)
        return failure(QStringLiteral("%1: このファイル形式で保存することはできません").arg(output));
    const std::optional<QImage> picture = readPicture(input, *pdf);
    if (!picture)
        return kExitFailed;
    return writePicture(output, *picture) ? kExitOk : kExitFailed;
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
