// PDF pages through the real cvglean-cli: convert and calibrate with a page,
// a resolution and a crop, and every way a PDF can fail.
#include "CliRunner.h"
#include "image/BmpCodec.h"

#include "TestPdfs.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace cvg;
using test::CliRun;
using test::runCli;

namespace {

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

class CliPdf : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        pdf = path("graph.pdf");
        writeAll(pdf, test::graphPdf());
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QString pdf;
};

} // namespace

TEST_F(CliPdf, ConvertAndCalibrateTakeThePageResolutionAndCrop)
{
    struct Case {
        QStringList options;
        QSize size;
        int ruleRow; // where the 1 pt rule at 120 pt lands, column 200 pt of the page
        int column;
    };
    const Case cases[] = {
        { { QStringLiteral("--page"), QStringLiteral("2"), QStringLiteral("--dpi"), QStringLiteral("144") },
            QSize(800, 600), 240, 400 },
        { { QStringLiteral("--page"), QStringLiteral("2") }, QSize(1667, 1250), 500, 833 }, // 300 dpi
        { { QStringLiteral("--dpi"), QStringLiteral("72"), QStringLiteral("--page"), QStringLiteral("2"),
              QStringLiteral("--crop"), QStringLiteral("100,100,300,200.6") },
            QSize(200, 101), 20, 100 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const QString out = path("page.bmp");
        CliRun r = runCli(QStringList { QStringLiteral("convert"), pdf, out } + c.options);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty());
        QImage picture;
        ASSERT_TRUE(LoadBmpPicture(out, picture));
        EXPECT_EQ(picture.size(), c.size);
        EXPECT_NEAR(
            test::darkRowCentre(picture, c.column, c.ruleRow - 8, c.ruleRow + 8).value_or(-1), c.ruleRow, 1);
    }

    // Page 1 without options: 300 dpi, and no rule where page 2 has one.
    const QString first = path("first.jpg");
    ASSERT_EQ(runCli({ QStringLiteral("convert"), pdf, first }).status, 0);

    // A calibrated document from page 2 at 144 dpi: its picture is that page.
    const QString doc = path("graph.cvd");
    CliRun r = runCli({ QStringLiteral("calibrate"), pdf, doc, QStringLiteral("--page"), QStringLiteral("2"),
        QStringLiteral("--dpi"), QStringLiteral("144"), QStringLiteral("--y-upper"),
        QStringLiteral("100,560,100"), QStringLiteral("--y-lower"), QStringLiteral("100,100,0"),
        QStringLiteral("--x-left"), QStringLiteral("100,100,0"), QStringLiteral("--x-right"),
        QStringLiteral("760,100,10") });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = runCli({ QStringLiteral("info"), doc });
    ASSERT_EQ(r.status, 0);
    const QJsonObject picture
        = QJsonDocument::fromJson(r.out).object().value(QStringLiteral("picture")).toObject();
    EXPECT_EQ(picture.value(QStringLiteral("width")).toInt(), 800);
    EXPECT_EQ(picture.value(QStringLiteral("height")).toInt(), 600);
}

TEST_F(CliPdf, FailuresSayWhyAndExitWithTwoOrOne)
{
    const QString locked = path("locked.pdf"), empty = path("empty.pdf"), damaged = path("damaged.pdf"),
                  huge = path("huge.pdf"), bmp = path("picture.bmp"), notPdf = path("picture.pdf");
    writeAll(locked, test::lockedPdf());
    writeAll(empty, test::noPagePdf());
    writeAll(damaged, test::graphPdf().left(60));
    writeAll(huge, test::blankPagePdf(QSizeF(7200, 3600)));
    writeAll(notPdf, QByteArray("BM") + QByteArray(100, 'x'));
    writeAll(bmp, QByteArray("BM") + QByteArray(100, 'x'));
    const QString out = path("out.bmp");
    auto convert = [&](const QString& in, QStringList options = {}) {
        return runCli(QStringList { QStringLiteral("convert"), in, out } + options);
    };

    struct Case {
        const char* what;
        CliRun run;
        int status;
        QString err; // the first line of standard error
    };
    const QString page = QStringLiteral("--page"), dpi = QStringLiteral("--dpi"),
                  crop = QStringLiteral("--crop");
    const Case cases[] = {
        { "locked", convert(locked), 2,
            QStringLiteral("%1: このPDFはパスワードで保護されているため読み込めません。").arg(locked) },
        { "no page", convert(empty), 2, QStringLiteral("%1: このPDFにはページがありません。").arg(empty) },
        { "damaged", convert(damaged), 2,
            QStringLiteral("%1: PDFファイルが壊れているため読み込めません。").arg(damaged) },
        { "not a PDF", convert(notPdf), 2,
            QStringLiteral("%1: このファイルはPDFではありません。").arg(notPdf) },
        { "page 3", convert(pdf, { page, QStringLiteral("3") }), 2,
            QStringLiteral("%1: ページ 3 はありません。このPDFのページは 1 から 2 までです。").arg(pdf) },
        { "crop off the page", convert(pdf, { crop, QStringLiteral("300,10,500,20") }), 2,
            QStringLiteral("%1: 読み込む範囲がページの外にはみ出しています。").arg(pdf) },
        { "too large", convert(huge), 2,
            QStringLiteral("%1: 30000 x 15000 ピクセルは大きすぎて読み込めません。").arg(huge) },
        { "page 0", convert(pdf, { page, QStringLiteral("0") }), 1,
            QStringLiteral("--page must be an integer from 1 to 2147483647") },
        { "dpi 71", convert(pdf, { dpi, QStringLiteral("71") }), 1,
            QStringLiteral("--dpi must be an integer from 72 to 1200") },
        { "dpi word", convert(pdf, { dpi, QStringLiteral("high") }), 1,
            QStringLiteral("--dpi must be an integer from 72 to 1200") },
        { "crop of three", convert(pdf, { crop, QStringLiteral("1,2,3") }), 1,
            QStringLiteral(
                "--crop must be LEFT,TOP,RIGHT,BOTTOM in points with RIGHT > LEFT and BOTTOM > TOP") },
        { "crop backwards", convert(pdf, { crop, QStringLiteral("50,10,20,40") }), 1,
            QStringLiteral(
                "--crop must be LEFT,TOP,RIGHT,BOTTOM in points with RIGHT > LEFT and BOTTOM > TOP") },
        { "page of a bitmap", convert(bmp, { page, QStringLiteral("2") }), 1,
            QStringLiteral("--page, --dpi and --crop apply to a PDF only") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.run.status, c.status);
        EXPECT_EQ(c.run.err.section(QLatin1Char('\n'), 0, 0), QStringLiteral("cvglean-cli: ") + c.err);
        EXPECT_FALSE(QFile::exists(out));
    }
    // The size refusal names the largest resolution that fits.
    EXPECT_TRUE(
        convert(huge).err.contains(QStringLiteral("このページは 200 dpi までの解像度で読み込めます。")));
    // Calibrate refuses the same way, writing nothing.
    const QString doc = path("no.cvd");
    const CliRun r = runCli(
        { QStringLiteral("calibrate"), locked, doc, QStringLiteral("--y-upper"), QStringLiteral("1,9,1"),
            QStringLiteral("--y-lower"), QStringLiteral("1,1,0"), QStringLiteral("--x-left"),
            QStringLiteral("1,1,0"), QStringLiteral("--x-right"), QStringLiteral("9,1,1") });
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(QFile::exists(doc));
}
