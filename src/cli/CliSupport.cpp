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
    return PictureKind::None;
}

std::optional<QImage> readPicture(const QString& path)
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
