#pragma once

#include <QByteArray>
#include <QString>

namespace cvg {

class Dialogs;
class Progress;
struct Document;

// The ".cvd" document file: header, reference points, scales, page table,
// point lists, resize record and one JPEG stream to the end of the file.
constexpr int kPointBlockSize = 64;
constexpr int kScaleBlockSize = 24;
constexpr int kPageRecordSize = 260;
constexpr int kPointRecordSize = 8;
constexpr int kShortStringSize = 256;

enum class DocumentReadStatus {
    Read, // everything taken over
    NotDocument, // the magic does not match: nothing taken over
    Damaged, // short or inconsistent: what was read before the fault stays
};

// The whole file in memory. False (out untouched) when the picture cannot be
// encoded, for instance when there is none.
bool encodeDocument(const Document& doc, QByteArray& out, Progress& progress);

// Takes a file's bytes over into doc, which must be freshly reset (one empty
// page). Runs the correction and the scale computation again for a converted
// document with a picture; their own message goes through dialogs. Sets
// neither the file name nor overwritePath and shows no read message.
DocumentReadStatus decodeDocument(
    const QByteArray& bytes, Document& doc, Dialogs& dialogs, Progress& progress);

// Reads path into the freshly reset doc and shows the failure messages.
// Sets doc.fileName from the path, and doc.state.overwritePath on success.
// A file that cannot be opened throws CvgError (doc.fileName unchanged).
// Afterwards the window shows fileName and "変更なし" in every case.
bool ReadDocument(const QString& path, Document& doc, Dialogs& dialogs, Progress& progress);

// Writes the document to path through a temporary file that replaces the old
// one only when complete. False without a message when the picture cannot be
// encoded (nothing written); a file that cannot be created or written throws
// CvgError and leaves the old file untouched.
bool WriteDocument(const QString& path, const Document& doc, Progress& progress);

} // namespace cvg
