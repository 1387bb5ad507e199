// Converted values as tab-, comma- or blank-separated lines, into a file or
// onto the clipboard.
#include "ScriptedDialogs.h"

#include "platform/Errors.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/TextExport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace cvg;
using cvg::test::ScriptedDialogs;

namespace {

struct RecordingProgress final : Progress {
    int begins = 0, ends = 0, minimum = -1, maximum = -1, positions = 0, highest = -1, last = -1;
    void begin(int lo, int hi) override { ++begins, minimum = lo, maximum = hi; }
    void setPosition(int p) override
    {
        ++positions;
        highest = std::max(highest, p);
        last = p;
    }
    void end() override { ++ends; }
};

// X value = column / 2 from 0 at column 0; Y value = row x 0.00001.
Calibration linearCalibration()
{
    Calibration cal;
    cal.CorrectedPoints[XLeft] = { 0, 0, 0.0 };
    cal.CorrectedPoints[YLower] = { 0, 0, 0.0 };
    cal.ScaleX = 0.5;
    cal.ScaleY = 0.00001;
    cal.Converted = true;
    return cal;
}

const std::vector<Point> kThree = { { -5, 1 }, { 2000000, 0 }, { 3, 100000 } };

Document exportDocument()
{
    Document doc;
    doc.reset();
    doc.state.pictureLoaded = true;
    doc.calibration = linearCalibration();
    doc.sheets.currentPage().points = kThree;
    return doc;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

} // namespace

TEST(TextExportTest, LinesCarryValueTextsAndEndInCrLf)
{
    const Calibration cal = linearCalibration();
    RecordingProgress progress;
    EXPECT_EQ(ExportLines(kThree, cal, TransferSeparator(ExcelFormat), progress),
        QByteArray("-2.5\t1E-5\r\n1000000\t0\r\n1.5\t1\r\n"));
    EXPECT_EQ(progress.begins, 1);
    EXPECT_EQ(progress.ends, 1);
    EXPECT_EQ(progress.maximum, 3);
    EXPECT_EQ(progress.highest, 3);
    EXPECT_EQ(progress.last, 0);

    NullProgress none;
    EXPECT_EQ(ExportLines(kThree, cal, TransferSeparator(CsvFormat), none),
        QByteArray("-2.5,1E-5\r\n1000000,0\r\n1.5,1\r\n"));
    EXPECT_EQ(ExportLines(kThree, cal, TransferSeparator(PrnFormat), none),
        QByteArray("-2.5 1E-5\r\n1000000 0\r\n1.5 1\r\n"));
    // One point, one line; no pixel position anywhere.
    EXPECT_EQ(ExportLines({ { 24, 1234 } }, cal, ',', none), QByteArray("12,0.01234\r\n"));
    EXPECT_EQ(ExportLines({}, cal, ',', none), QByteArray());
    // A logarithmic axis: one decade per 100 rows above 1.
    Calibration log = cal;
    log.YLog = true;
    log.CorrectedPoints[YLower].value = 1.0;
    log.ScaleY = 0.01;
    EXPECT_EQ(
        ExportLines({ { 0, 200 }, { 0, -300 } }, log, '\t', none), QByteArray("0\t100\r\n0\t0.001\r\n"));
}

TEST(TextExportTest, SaveDialogOpensOnTheTransferFormatAndAppendsTheChosenExtension)
{
    const FileDialogRequest request = TextSaveDialogRequest(
        QStringLiteral("Page0"), QStringLiteral("/home/user/data/doc.cvd"), CsvFormat);
    EXPECT_EQ(request.filter,
        QStringLiteral("タブ区切り(*.txt)|*.txt|カンマ区切り(*.csv)|*.csv|スペース区切り(*.prn)|*.prn"));
    EXPECT_EQ(request.filterIndex, 2);
    EXPECT_EQ(request.fileName, QStringLiteral("Page0"));
    EXPECT_EQ(request.initialDir, QStringLiteral("/home/user/data"));
    EXPECT_TRUE(request.defaultExtension.isEmpty());
    EXPECT_TRUE(request.overwritePrompt);
    EXPECT_TRUE(TextSaveDialogRequest(QStringLiteral("x"), QString(), PrnFormat).initialDir.isEmpty());
    EXPECT_EQ(TextSaveDialogRequest(QStringLiteral("x"), QString(), PrnFormat).filterIndex, 3);

    EXPECT_FALSE(TextSaveTargetFrom({ false, QStringLiteral("/t/a"), 1 }));
    const auto tab = TextSaveTargetFrom({ true, QStringLiteral("/t/Page0"), 1 });
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->path, QStringLiteral("/t/Page0.txt"));
    EXPECT_EQ(tab->separator, '\t');
    const auto prn = TextSaveTargetFrom({ true, QStringLiteral("/t/data.csv"), 3 });
    ASSERT_TRUE(prn);
    EXPECT_EQ(prn->path, QStringLiteral("/t/data.csv.prn"));
    EXPECT_EQ(prn->separator, ' ');
    // The filter's own extension, typed, is not added again; a bare ".csv" is a name.
    const std::pair<const char*, const char*> typed[] = { { "/t/exp_csv.csv", "/t/exp_csv.csv" },
        { "/t/a.CSV", "/t/a.CSV" }, { "/t/.csv", "/t/.csv.csv" }, { "/t/csv", "/t/csv.csv" } };
    for (const auto& [name, path] : typed)
        EXPECT_EQ(TextSaveTargetFrom({ true, QString::fromLatin1(name), 2 })->path, QString::fromLatin1(path)) << name;
}

TEST(TextExportTest, SaveWritesTheChosenFormatWhileTheClipboardKeepsTheSetting)
{
    QTemporaryDir dir;
    Document doc = exportDocument();
    doc.state.overwritePath = dir.filePath(QStringLiteral("doc.cvd"));
    NullProgress progress;
    ScriptedDialogs dialogs;
    dialogs.expectSave({ true, dir.filePath(QStringLiteral("Page0")), 3 }, [&](const FileDialogRequest& r) {
        EXPECT_EQ(r.filterIndex, 2);
        EXPECT_EQ(r.fileName, QStringLiteral("Page0"));
        EXPECT_EQ(r.initialDir, dir.path());
    });
    EXPECT_TRUE(SaveWorkSheetAsText(doc, CsvFormat, dialogs, progress));
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("Page0.prn"))),
        QByteArray("-2.5 1E-5\r\n1000000 0\r\n1.5 1\r\n"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("Page0"))));

    const std::optional<QString> clip = SheetDataToClipboard(doc, CsvFormat, dialogs, progress);
    ASSERT_TRUE(clip);
    EXPECT_EQ(*clip, QStringLiteral("-2.5,1E-5\r\n1000000,0\r\n1.5,1\r\n"));

    // Cancelled: nothing written.
    dialogs.expectSave({ false, QString(), 1 });
    EXPECT_FALSE(SaveWorkSheetAsText(doc, ExcelFormat, dialogs, progress));

    // The appended extension names a file that exists: asked first, kept on No.
    const QString existing = dir.filePath(QStringLiteral("data.txt.csv"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    const QString replace = QStringLiteral("\"data.txt.csv\" は既に存在します。\r\n置き換えますか？");
    dialogs.expectSave({ true, dir.filePath(QStringLiteral("data.txt")), 2 });
    dialogs.expectMessage(replace, MsgIcon::Warning, MsgButtons::YesNo, MsgResult::No);
    EXPECT_FALSE(SaveWorkSheetAsText(doc, ExcelFormat, dialogs, progress));
    EXPECT_EQ(readFile(existing), QByteArray("keep"));
    dialogs.expectSave({ true, dir.filePath(QStringLiteral("data.txt")), 2 });
    dialogs.expectMessage(replace, MsgIcon::Warning, MsgButtons::YesNo, MsgResult::Yes);
    EXPECT_TRUE(SaveWorkSheetAsText(doc, ExcelFormat, dialogs, progress));
    EXPECT_EQ(readFile(existing), QByteArray("-2.5,1E-5\r\n1000000,0\r\n1.5,1\r\n"));

    // A folder that does not exist: the general error report.
    dialogs.expectSave({ true, dir.filePath(QStringLiteral("no/such")), 1 });
    EXPECT_THROW(SaveWorkSheetAsText(doc, ExcelFormat, dialogs, progress), CvgError);
}

TEST(TextExportTest, PreconditionsShowTheirWarningsInOrder)
{
    NullProgress progress;
    Document doc = exportDocument();
    doc.state.pictureLoaded = false;
    doc.calibration.Converted = false;
    {
        ScriptedDialogs dialogs;
        dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
        EXPECT_FALSE(SaveWorkSheetAsText(doc, ExcelFormat, dialogs, progress));
        dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
        EXPECT_FALSE(SheetDataToClipboard(doc, ExcelFormat, dialogs, progress));
    }
    doc.state.pictureLoaded = true;
    {
        ScriptedDialogs dialogs;
        dialogs.expectWarning(QStringLiteral("換算値が計算されていません。"));
        EXPECT_FALSE(SaveWorkSheetAsText(doc, ExcelFormat, dialogs, progress));
        dialogs.expectWarning(QStringLiteral("換算値が計算されていません。"));
        EXPECT_FALSE(SheetDataToClipboard(doc, ExcelFormat, dialogs, progress));
    }
    doc.calibration.Converted = true;
    doc.sheets.currentPage().points.clear();
    {
        ScriptedDialogs dialogs;
        dialogs.expectWarning(QStringLiteral("保存するデータがありません。"));
        EXPECT_FALSE(SaveWorkSheetAsText(doc, ExcelFormat, dialogs, progress));
        dialogs.expectWarning(QStringLiteral("転送するデータがありません。"));
        EXPECT_FALSE(SheetDataToClipboard(doc, ExcelFormat, dialogs, progress));
    }
}
