#pragma once

#include "image/PdfPicture.h"
#include "platform/HeadlessDialogs.h"

#include <QImage>
#include <QMultiMap>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace cvg {
struct Document;
}

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailed = 2;

void printTo(FILE* stream, const QString& text);
// The usage of every command (made from the command table).
QString usageText();
// Prints "cvglean-cli: reason" and the usage; returns kExitUsage.
int usageError(const QString& reason);
// Prints "cvglean-cli: reason" (CR LF as LF); returns kExitFailed.
int failure(const QString& reason);

// The program's messages, on standard error; questions are answered No.
cvg::HeadlessDialogs stderrDialogs();

// Modern: PNG, GIF, TIFF or WebP.
enum class PictureKind { None, Bitmap, Jpeg, Metafile, Modern, Pdf };
PictureKind pictureKindOf(const QString& path);

// Reads a picture by its extension (of a PDF, the page, resolution and crop
// of pdf); nothing after printing the reason.
std::optional<QImage> readPicture(const QString& path, const cvg::PdfPageRequest& pdf = {});
// Writes a picture by the output's extension (".bmp" or ".jpg"); false after
// printing the reason.
bool writePicture(const QString& path, const QImage& picture);

// Options of the form --name VALUE and flags --name; the rest are operands.
// An option given twice keeps both values; value() gives the last one.
struct Options {
    QStringList operands;
    QMultiMap<QString, QString> values;
    QStringList flags;
    QString error; // an unknown option or a missing value
};
Options parseOptions(const QStringList& args, const QStringList& valueNames, const QStringList& flagNames);

// An integer option from low to high, fallback when absent; false with the
// usage error's text otherwise.
bool parseInt(const Options& options, const QString& name, int fallback, int low, int high, int& out,
              QString& error);

// What of a PDF a command reads: --page N, --dpi D, --crop L,T,R,B (points
// from the page's top-left corner).
QStringList pdfOptionNames();
// Parses those options for the input picture; nothing, with the usage
// error's text, when they are malformed or given for a picture that is not a
// PDF. Whether the page exists and the crop lies on it is the reader's check.
std::optional<cvg::PdfPageRequest> pdfRequest(const Options& options, const QString& input, QString& error);

// Reads a document into doc; false after printing the program's message.
bool readDocument(const QString& path, cvg::Document& doc);
// Writes a document safely (temporary file, then replace); false after printing.
bool writeDocument(const QString& path, const cvg::Document& doc);

// Parses a positive 1-based page number within the document.
std::optional<int> pageIndex(const Options& options, const cvg::Document& doc, QString& error);

} // namespace cli
