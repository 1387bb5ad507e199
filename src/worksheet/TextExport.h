#pragma once

#include "platform/Dialogs.h"
#include "worksheet/Point.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace cvg {

class Progress;
struct Calibration;
struct Document;

// transferFormat: the separator of the clipboard transfer and the filter the
// text save dialog opens on.
enum TransferFormat : int { ExcelFormat = 0, CsvFormat = 1, PrnFormat = 2 };

// The separator of a format: tab, comma or blank (tab for any other value).
char TransferSeparator(int transferFormat);

// One line per point: value text of ConvertX, separator, value text of
// ConvertY, of the point's precise position, CR LF after every line, the last
// included. ASCII only.
QByteArray ExportLines(
    const std::vector<Point>& points, const Calibration& calibration, char separator, Progress& progress);

// A point's converted values as the worksheet's value label shows them: the
// value texts of its precise X and Y, separated by a blank.
QString ConvertedValueText(const Calibration& calibration, const Point& point);

inline const QString kTextSaveFilter
    = QStringLiteral("タブ区切り(*.txt)|*.txt|カンマ区切り(*.csv)|*.csv|スペース区切り(*.prn)|*.prn");

// The save dialog for text: opens on the filter of transferFormat, proposes the
// page caption in the folder of overwritePath.
FileDialogRequest TextSaveDialogRequest(
    const QString& pageCaption, const QString& overwritePath, int transferFormat);

struct TextSaveTarget {
    QString path; // the chosen name with the filter's extension appended
    char separator; // from the filter chosen, not from transferFormat
};
// Nothing when the dialog was cancelled.
std::optional<TextSaveTarget> TextSaveTargetFrom(const FileDialogResult& result);

// The export command: preconditions, dialog, file. True when a file was
// written. A file that cannot be written throws CvgError.
bool SaveWorkSheetAsText(const Document& doc, int transferFormat, Dialogs& dialogs, Progress& progress);

// The clipboard command: the text the window puts on the clipboard, or
// nothing when a precondition failed (its warning was shown).
std::optional<QString> SheetDataToClipboard(
    const Document& doc, int transferFormat, Dialogs& dialogs, Progress& progress);

} // namespace cvg
