#include "worksheet/TextExport.h"

#include "calibration/Calibration.h"
#include "calibration/ValueText.h"
#include "platform/FileIO.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"

#include <QFileInfo>
#include <algorithm>

namespace cvg {

namespace {

const QString kNoPicture = QStringLiteral("画像が読み込まれていません。");
const QString kNotConverted = QStringLiteral("換算値が計算されていません。");
const QString kNothingToSave = QStringLiteral("保存するデータがありません。");
const QString kNothingToTransfer = QStringLiteral("転送するデータがありません。");
// The dialog asks about the name as typed; the extension appended afterwards
// may name another file that exists.
const QString kReplaceQuestion = QStringLiteral("\"%1\" は既に存在します。\r\n置き換えますか？");

// Filter index (1-based) -> separator and extension.
struct FilterEntry {
    char separator;
    const char* extension;
};
constexpr FilterEntry kFilters[3] = { { '\t', ".txt" }, { ',', ".csv" }, { ' ', ".prn" } };

// Appends the ASCII value text; returns the end of what was written.
char* putValueText(char* out, double value)
{
    return WriteValueText(value, out);
}

// The points of the current page, after the checks both commands share;
// nothing when one failed (its warning was shown).
const std::vector<Point>* exportablePoints(const Document& doc, Dialogs& dialogs, const QString& emptyText)
{
    if (!doc.state.pictureLoaded) {
        dialogs.warning(kNoPicture);
        return nullptr;
    }
    if (!doc.calibration.Converted) {
        dialogs.warning(kNotConverted);
        return nullptr;
    }
    const std::vector<Point>& points = ReadPoints(doc.sheets.currentPage());
    if (points.empty()) {
        dialogs.warning(emptyText);
        return nullptr;
    }
    return &points;
}

} // namespace

char TransferSeparator(int transferFormat)
{
    return transferFormat >= 0 && transferFormat < 3 ? kFilters[transferFormat].separator : '\t';
}

QByteArray ExportLines(
    const std::vector<Point>& points, const Calibration& calibration, char separator, Progress& progress)
{
    const int count = int(points.size());
    ProgressScope scope(progress, 0, count);
    QByteArray out;
    // Typical lines are shorter; this spares most regrowing of a large page.
    out.reserve(qsizetype(points.size()) * 40);
    // The second value starts at most one text and a separator in.
    char line[kMaxValueTextLength + 1 + kValueTextRoom + 2];
    for (int r = 0; r < count; ++r) {
        scope.setPosition(r + 1);
        const Point& p = points[size_t(r)];
        char* end = putValueText(line, ConvertX(calibration, p.preciseX()));
        *end++ = separator;
        end = putValueText(end, ConvertY(calibration, p.preciseY()));
        *end++ = '\r';
        *end++ = '\n';
        out.append(line, end - line);
    }
    scope.setPosition(0);
    return out;
}

QString ConvertedValueText(const Calibration& calibration, const Point& point)
{
    return ValueText(ConvertX(calibration, point.preciseX())) + QLatin1Char(' ')
        + ValueText(ConvertY(calibration, point.preciseY()));
}

FileDialogRequest TextSaveDialogRequest(
    const QString& pageCaption, const QString& overwritePath, int transferFormat)
{
    FileDialogRequest request;
    request.filter = kTextSaveFilter;
    request.filterIndex = transferFormat >= 0 && transferFormat < 3 ? transferFormat + 1 : 1;
    request.fileName = pageCaption;
    if (!overwritePath.isEmpty())
        request.initialDir = QFileInfo(overwritePath).path();
    request.overwritePrompt = true;
    return request;
}

std::optional<TextSaveTarget> TextSaveTargetFrom(const FileDialogResult& result)
{
    if (!result.accepted || result.path.isEmpty())
        return std::nullopt;
    const int index = result.filterIndex >= 1 && result.filterIndex <= 3 ? result.filterIndex - 1 : 0;
    // A name typed with the filter's extension keeps it once.
    const QLatin1String extension(kFilters[index].extension);
    const bool hasExtension = result.path.endsWith(extension, Qt::CaseInsensitive)
        && result.path.size() > extension.size() && !result.path.endsWith(QLatin1Char('/') + extension);
    return TextSaveTarget { hasExtension ? result.path : result.path + extension, kFilters[index].separator };
}

bool SaveWorkSheetAsText(const Document& doc, int transferFormat, Dialogs& dialogs, Progress& progress)
{
    const std::vector<Point>* points = exportablePoints(doc, dialogs, kNothingToSave);
    if (!points)
        return false;
    const FileDialogResult chosen = dialogs.saveFile(
        TextSaveDialogRequest(doc.sheets.currentPage().caption, doc.state.overwritePath, transferFormat));
    const std::optional<TextSaveTarget> target = TextSaveTargetFrom(chosen);
    if (!target)
        return false;
    if (target->path != chosen.path && QFileInfo::exists(target->path)
        && dialogs.message({ kReplaceQuestion.arg(QFileInfo(target->path).fileName()), MsgIcon::Warning,
               MsgButtons::YesNo, kAppTitle })
            != MsgResult::Yes)
        return false;
    writeFileReplacing(target->path, ExportLines(*points, doc.calibration, target->separator, progress));
    return true;
}

std::optional<QString> SheetDataToClipboard(
    const Document& doc, int transferFormat, Dialogs& dialogs, Progress& progress)
{
    const std::vector<Point>* points = exportablePoints(doc, dialogs, kNothingToTransfer);
    if (!points)
        return std::nullopt;
    return QString::fromLatin1(
        ExportLines(*points, doc.calibration, TransferSeparator(transferFormat), progress));
}

} // namespace cvg
