#include "CliSupport.h"

#include "image/BmpCodec.h"
#include "image/JpegCodec.h"
#include "image/MetafilePlayer.h"
#include "image/ModernPicture.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentState.h"
#include "worksheet/DocumentFile.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace cli {

void printTo(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
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

cvg::HeadlessDialogs stderrDialogs()
{
    return cvg::HeadlessDialogs([](const QString& text) { failure(text); });
}

PictureKind pictureKindOf(const QString& path)
{
    const QString extension = cvg::extensionOf(path);
    if (extension == QLatin1String(".bmp"))
        return PictureKind::Bitmap;
    if (extension == QLatin1String(".jpg"))
        return PictureKind::Jpeg;
    if (extension == QLatin1String(".wmf") || extension == QLatin1String(".emf"))
        return PictureKind::Metafile;
    if (cvg::isModernPictureExtension(extension))
        return PictureKind::Modern;
    if (cvg::isPdfExtension(extension))
        return PictureKind::Pdf;
    return PictureKind::None;
}

std::optional<QImage> readPicture(const QString& path, const cvg::PdfPageRequest& pdf)
{
    const PictureKind kind = pictureKindOf(path);
    if (kind == PictureKind::None) {
        failure(QStringLiteral("%1: このファイル形式は読込むことができません").arg(path));
        return std::nullopt;
    }
    // Tell a file that cannot be opened from one that is not a picture.
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        failure(cvg::cannotOpenFileText(path, probe.errorString()));
        return std::nullopt;
    }
    probe.close();
    QImage picture;
    bool loaded = false;
    switch (kind) {
    case PictureKind::Bitmap:
        loaded = cvg::LoadBmpPicture(path, picture);
        break;
    case PictureKind::Jpeg:
        loaded = cvg::LoadJpegPicture(path, picture);
        break;
    case PictureKind::Metafile:
        loaded = cvg::LoadMetafilePicture(path, cvg::kDefaultScreenDpi, picture);
        break;
    case PictureKind::Modern:
        loaded = cvg::LoadModernPicture(path, picture);
        break;
    case PictureKind::Pdf: {
        // A PDF says why it cannot be read: damaged, locked, no such page...
        cvg::NullProgress quiet;
        const QString error = cvg::LoadPdfPicture(path, pdf, picture, quiet);
        if (!error.isEmpty()) {
            failure(QStringLiteral("%1: %2").arg(path, error));
            return std::nullopt;
        }
        loaded = true;
        break;
    }
    case PictureKind::None:
        break;
    }
    if (!loaded) {
        failure(QStringLiteral("ファイル \"%1\" を画像として読込むことができません。").arg(path));
        return std::nullopt;
    }
    return picture;
}

bool writePicture(const QString& path, const QImage& picture)
{
    const PictureKind kind = pictureKindOf(path);
    if (kind != PictureKind::Bitmap && kind != PictureKind::Jpeg) {
        failure(QStringLiteral("%1: このファイル形式で保存することはできません").arg(path));
        return false;
    }
    try {
        if (kind == PictureKind::Bitmap)
            cvg::SaveBmpPicture(path, picture);
        else
            cvg::SaveJpegPicture(path, picture);
    } catch (const cvg::CvgError& e) {
        failure(e.userText());
        return false;
    }
    return true;
}

Options parseOptions(const QStringList& args, const QStringList& valueNames, const QStringList& flagNames)
{
    Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--")) || arg == QLatin1String("--")) {
            options.operands << arg;
            continue;
        }
        const QString name = arg.mid(2);
        if (flagNames.contains(name)) {
            options.flags << name;
        } else if (valueNames.contains(name)) {
            if (i + 1 >= args.size()) {
                options.error = QStringLiteral("option %1 needs a value").arg(arg);
                return options;
            }
            options.values.insert(name, args[++i]);
        } else {
            options.error = QStringLiteral("unknown option %1").arg(arg);
            return options;
        }
    }
    return options;
}

bool parseInt(const Options& options, const QString& name, int fallback, int low, int high, int& out,
              QString& error)
{
    if (!options.values.contains(name)) {
        out = fallback;
        return true;
    }
    bool ok = false;
    out = options.values.value(name).toInt(&ok);
    if (!ok || out < low || out > high) {
        error = QStringLiteral("--%1 must be an integer from %2 to %3").arg(name).arg(low).arg(high);
        return false;
    }
    return true;
}

QStringList pdfOptionNames()
{
    return { QStringLiteral("page"), QStringLiteral("dpi"), QStringLiteral("crop") };
}

std::optional<cvg::PdfPageRequest> pdfRequest(const Options& options, const QString& input, QString& error)
{
    cvg::PdfPageRequest request;
    const QStringList names = pdfOptionNames();
    const bool given = std::any_of(names.begin(), names.end(),
                                   [&](const QString& name) { return options.values.contains(name); });
    if (!given)
        return request;
    if (pictureKindOf(input) != PictureKind::Pdf) {
        error = QStringLiteral("--page, --dpi and --crop apply to a PDF only");
        return std::nullopt;
    }
    if (!parseInt(options, QStringLiteral("page"), 1, 1, std::numeric_limits<int>::max(), request.page, error)
        || !parseInt(options, QStringLiteral("dpi"), cvg::kDefaultPdfDpi, cvg::kMinPdfDpi, cvg::kMaxPdfDpi,
                     request.dpi, error))
        return std::nullopt;
    if (options.values.contains(QStringLiteral("crop"))) {
        const QStringList parts = options.values.value(QStringLiteral("crop")).split(QLatin1Char(','));
        std::array<double, 4> edges{};
        bool ok = parts.size() == 4;
        for (qsizetype i = 0; ok && i < 4; ++i) {
            edges[size_t(i)] = parts[i].trimmed().toDouble(&ok);
            ok = ok && std::isfinite(edges[size_t(i)]);
        }
        if (!ok || edges[2] <= edges[0] || edges[3] <= edges[1]) {
            error = QStringLiteral("--crop must be LEFT,TOP,RIGHT,BOTTOM in points with RIGHT > LEFT and "
                                   "BOTTOM > TOP");
            return std::nullopt;
        }
        request.crop = QRectF(QPointF(edges[0], edges[1]), QPointF(edges[2], edges[3]));
    }
    return request;
}

bool readDocument(const QString& path, cvg::Document& doc)
{
    cvg::HeadlessDialogs dialogs = stderrDialogs();
    cvg::NullProgress quiet;
    doc.reset();
    try {
        return cvg::ReadDocument(path, doc, dialogs, quiet);
    } catch (const cvg::CvgError& e) {
        failure(e.userText());
        return false;
    }
}

bool writeDocument(const QString& path, const cvg::Document& doc)
{
    cvg::NullProgress quiet;
    try {
        if (!cvg::WriteDocument(path, doc, quiet)) {
            failure(QStringLiteral("%1: the document has no picture to store").arg(path));
            return false;
        }
    } catch (const cvg::CvgError& e) {
        failure(e.userText());
        return false;
    }
    return true;
}

std::optional<int> pageIndex(const Options& options, const cvg::Document& doc, QString& error)
{
    if (!options.values.contains(QStringLiteral("page")))
        return 0;
    bool ok = false;
    const int page = options.values.value(QStringLiteral("page")).toInt(&ok);
    if (!ok || page < 1 || page > doc.sheets.pageCount()) {
        error = QStringLiteral("--page must be a page number from 1 to %1").arg(doc.sheets.pageCount());
        return std::nullopt;
    }
    return page - 1;
}

} // namespace cli
