#pragma once

#include "platform/HeadlessDialogs.h"

#include <QImage>
#include <QMap>
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
enum class PictureKind { None, Bitmap, Jpeg, Metafile, Modern };
PictureKind pictureKindOf(const QString& path);

// Reads a picture by its extension; nothing after printing the reason.
std::optional<QImage> readPicture(const QString& path);
// Writes a picture by the output's extension (".bmp" or ".jpg"); false after
// printing the reason.
bool writePicture(const QString& path, const QImage& picture);

// Options of the form --name VALUE and flags --name; the rest are operands.
struct Options {
    QStringList operands;
    QMap<QString, QString> values;
    QStringList flags;
    QString error; // an unknown option or a missing value
};
Options parseOptions(const QStringList& args, const QStringList& valueNames, const QStringList& flagNames);

// Reads a document into doc; false after printing the program's message.
bool readDocument(const QString& path, cvg::Document& doc);
// Writes a document safely (temporary file, then replace); false after printing.
bool writeDocument(const QString& path, const cvg::Document& doc);

// Parses a positive 1-based page number within the document.
std::optional<int> pageIndex(const Options& options, const cvg::Document& doc, QString& error);

} // namespace cli
