// The whole pipeline through the real cvglean-cli: calibrate, info, export,
// trace, interpolate, render, and every failure path.
#include "CliRunner.h"
#include "image/BmpCodec.h"
#include "image/ImageSet.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentFile.h"

#include "ScriptedDialogs.h"
#include "TestPictures.h"

#include <QFile>
#include <QPainter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace cvg;

namespace {

using test::CliRun;
using test::runCli;

// A white 400 x 300 picture with a black line 3 rows thick (rows 149..151)
// from column 100 to 299.
QImage linePicture()
{
    QImage image = newPicture(400, 300);
    for (int row = 149; row <= 151; ++row) {
        uchar* p = image.scanLine(row);
        for (int x = 100; x <= 299; ++x)
            p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = 0;
    }
    return image;
}

class CliPipeline : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        picture = path("line.bmp");
        SaveBmpPicture(picture, linePicture());
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    // Square axes: X 50 -> 0 and 350 -> 300; Y (upward) 50 -> 0 and 250 -> 100.
    CliRun calibrate(const QString& out, QStringList extra = {})
    {
        return runCli(QStringList{QStringLiteral("calibrate"), picture, out, QStringLiteral("--y-upper"),
                                  QStringLiteral("50,250,100"), QStringLiteral("--y-lower"), QStringLiteral("50,50,0"),
                                  QStringLiteral("--x-left"), QStringLiteral("50,50,0"), QStringLiteral("--x-right"),
                                  QStringLiteral("350,50,300")}
                      + extra);
    }
    QJsonObject info(const QString& doc)
    {
        const CliRun r = runCli({QStringLiteral("info"), doc});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out).object();
    }

    QTemporaryDir dir;
    QString picture;
};

} // namespace

TEST_F(CliPipeline, CalibrateTraceInterpolateExportRender)
{
    const QString a = path("a.cvd");
    CliRun r = calibrate(a);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    QJsonObject doc = info(a);
    EXPECT_EQ(doc.value(QStringLiteral("version")).toInt(), 102);
    EXPECT_TRUE(doc.value(QStringLiteral("converted")).toBool());
    EXPECT_EQ(doc.value(QStringLiteral("picture")).toObject().value(QStringLiteral("width")).toInt(), 400);
    EXPECT_EQ(doc.value(QStringLiteral("corrected")).toObject().value(QStringLiteral("height")).toInt(), 300);
    const QJsonObject cal = doc.value(QStringLiteral("calibration")).toObject();
    EXPECT_FALSE(cal.value(QStringLiteral("xLog")).toBool());
    EXPECT_EQ(cal.value(QStringLiteral("scaleX")).toDouble(), 1.0);
    EXPECT_EQ(cal.value(QStringLiteral("scaleY")).toDouble(), 0.5);
    const QJsonArray source = cal.value(QStringLiteral("source")).toArray();
    ASSERT_EQ(source.size(), 4);
    EXPECT_EQ(source[3].toObject().value(QStringLiteral("x")).toInt(), 350);
    EXPECT_EQ(source[3].toObject().value(QStringLiteral("value")).toDouble(), 300.0);
    const QJsonArray pages = doc.value(QStringLiteral("pages")).toArray();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0].toObject().value(QStringLiteral("caption")).toString(), QStringLiteral("Page0"));
    EXPECT_EQ(pages[0].toObject().value(QStringLiteral("points")).toInt(), 0);

    // The averaged trace goes into the empty first page, one point per column.
    const QString b = path("b.cvd");
    r = runCli({QStringLiteral("trace"), a, QStringLiteral("--rect"), QStringLiteral("90,100,310,200"),
                QStringLiteral("--average"), QStringLiteral("--output"), b});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("page 1 points 200\n"));
    // Every dark pixel, into a new page at the end; b is replaced in place.
    r = runCli({QStringLiteral("trace"), b, QStringLiteral("--rect"), QStringLiteral("90,100,310,200")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("page 2 points 600\n"));
    // The right and bottom edges are exclusive: columns 100..149 only.
    r = runCli({QStringLiteral("trace"), b, QStringLiteral("--rect"), QStringLiteral("0,0,150,300"),
                QStringLiteral("--interval"), QStringLiteral("10"), QStringLiteral("--output"), path("c.cvd")});
    EXPECT_EQ(r.out, QByteArray("page 3 points 15\n")); // columns 100, 110, ..., 140, three rows each

    // Export: value texts, the separator, CR LF after every line.
    r = runCli({QStringLiteral("export"), b, QStringLiteral("--format"), QStringLiteral("csv")});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.startsWith("50,50\r\n51,50\r\n52,50\r\n"));
    EXPECT_TRUE(r.out.endsWith("249,50\r\n"));
    EXPECT_EQ(r.out.count('\n'), 200);
    r = runCli({QStringLiteral("export"), b, QStringLiteral("--page"), QStringLiteral("2"), QStringLiteral("--pixels")});
    EXPECT_TRUE(r.out.startsWith("100\t151\r\n100\t150\r\n100\t149\r\n101\t151\r\n"));
    const QString text = path("out.prn");
    r = runCli({QStringLiteral("export"), b, QStringLiteral("--format"), QStringLiteral("prn"), QStringLiteral("--output"), text});
    EXPECT_EQ(r.status, 0);
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("50 50\r\n51 50\r\n"));

    // Interpolation of page 1 with distance 7: x = 100, 107, ..., 296.
    const QString d = path("d.cvd");
    r = runCli({QStringLiteral("interpolate"), b, QStringLiteral("--distance"), QStringLiteral("7"),
                QStringLiteral("--output"), d});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("page 3 points 29\n"));
    doc = info(d);
    EXPECT_EQ(doc.value(QStringLiteral("pages")).toArray()[2].toObject().value(QStringLiteral("caption")).toString(),
              QStringLiteral("Page0 直補"));
    r = runCli({QStringLiteral("export"), d, QStringLiteral("--page"), QStringLiteral("3")});
    EXPECT_TRUE(r.out.startsWith("50\t50\r\n57\t50\r\n"));

    // Render: the corrected picture with the page's squares.
    const QString shown = path("shown.bmp");
    r = runCli({QStringLiteral("render"), d, shown, QStringLiteral("--page"), QStringLiteral("1")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QImage rendered;
    ASSERT_TRUE(LoadBmpPicture(shown, rendered));
    EXPECT_EQ(rendered.size(), QSize(400, 300));
    EXPECT_EQ(rendered.pixelColor(301, 150), QColor(0, 255, 0)); // inside the square of the last point (299, 150)
    EXPECT_EQ(rendered.pixelColor(302, 147), QColor(0, 128, 0)); // its corner
    EXPECT_EQ(rendered.pixelColor(200, 100), QColor(255, 255, 255));
}

TEST_F(CliPipeline, InterpolationChecksAndSortOption)
{
    // A document with an unsorted page, a page with a repeated X, a one-point
    // and a two-point page, written by the core itself.
    const QString a = path("a.cvd");
    ASSERT_EQ(calibrate(a).status, 0);
    Document doc;
    test::ScriptedDialogs quietDialogs;
    NullProgress quiet;
    ASSERT_TRUE(ReadDocument(a, doc, quietDialogs, quiet));
    ASSERT_TRUE(WritePoints(doc.sheets.page(0), {{30, 5}, {10, 1}, {20, 3}}));
    doc.sheets.CreateSheetPage();
    ASSERT_TRUE(WritePoints(doc.sheets.page(1), {{10, 1}, {10, 2}, {20, 3}}));
    doc.sheets.CreateSheetPage();
    ASSERT_TRUE(WritePoints(doc.sheets.page(2), {{10, 1}}));
    doc.sheets.CreateSheetPage();
    ASSERT_TRUE(WritePoints(doc.sheets.page(3), {{10, 1}, {12, 5}}));
    ASSERT_TRUE(WriteDocument(a, doc, quiet));

    CliRun r = runCli({QStringLiteral("interpolate"), a});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("補間処理の前に、ソートする必要があります。"))) << r.err.toStdString();
    r = runCli({QStringLiteral("interpolate"), a, QStringLiteral("--page"), QStringLiteral("2")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, QStringLiteral("cvglean-cli: Xに同じ値を持つ座標が存在します。\n補間処理を行う前に削除する必要があります。\n"));
    r = runCli({QStringLiteral("interpolate"), a, QStringLiteral("--page"), QStringLiteral("3")});
    EXPECT_EQ(r.err, QStringLiteral("cvglean-cli: 補間処理には２つ以上の座標データが必要です。\n"));
    r = runCli({QStringLiteral("interpolate"), a, QStringLiteral("--page"), QStringLiteral("4"), QStringLiteral("--method"),
                QStringLiteral("spline"), QStringLiteral("--output"), path("two.cvd")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("linearly"))) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("page 5 points 3\n"));
    EXPECT_EQ(info(path("two.cvd")).value(QStringLiteral("pages")).toArray()[4].toObject().value(QStringLiteral("caption")).toString(),
              QStringLiteral("Page3 直補"));

    // --sort sorts the page, saves it sorted, and interpolates: X 10..30.
    const QString sorted = path("sorted.cvd");
    r = runCli({QStringLiteral("interpolate"), a, QStringLiteral("--sort"), QStringLiteral("--method"),
                QStringLiteral("spline"), QStringLiteral("--output"), sorted});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("page 5 points 21\n"));
    r = runCli({QStringLiteral("export"), sorted, QStringLiteral("--pixels")});
    EXPECT_EQ(r.out, QByteArray("10\t1\r\n20\t3\r\n30\t5\r\n"));
    EXPECT_EQ(info(sorted).value(QStringLiteral("pages")).toArray()[4].toObject().value(QStringLiteral("caption")).toString(),
              QStringLiteral("Page0 曲補"));
    r = runCli({QStringLiteral("interpolate"), a, QStringLiteral("--distance"), QStringLiteral("0")});
    EXPECT_EQ(r.status, 1);
}

TEST_F(CliPipeline, FailuresAndUsageErrors)
{
    // Calibration that does not validate: its message, then the refusal; nothing written.
    const QString bad = path("bad.cvd");
    CliRun r = runCli({QStringLiteral("calibrate"), picture, bad, QStringLiteral("--y-upper"), QStringLiteral("50,250,0"),
                       QStringLiteral("--y-lower"), QStringLiteral("50,50,0"), QStringLiteral("--x-left"),
                       QStringLiteral("50,50,0"), QStringLiteral("--x-right"), QStringLiteral("350,50,300")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, QStringLiteral("cvglean-cli: 縦軸上側と下側の座標値が同じ値を持っています\n"
                                    "cvglean-cli: パラメータを変更してから実行してください。\n"));
    EXPECT_FALSE(QFile::exists(bad));
    // A log axis with a zero value.
    r = calibrate(bad, {QStringLiteral("--x-log")});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(QFile::exists(bad));
    // Collinear reference points: the correction's own message.
    r = runCli({QStringLiteral("calibrate"), picture, bad, QStringLiteral("--y-upper"), QStringLiteral("50,250,100"),
                QStringLiteral("--y-lower"), QStringLiteral("50,50,0"), QStringLiteral("--x-left"), QStringLiteral("50,50,0"),
                QStringLiteral("--x-right"), QStringLiteral("50,150,300")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("グラフの歪修正中にエラーが発生しました")));
    EXPECT_FALSE(QFile::exists(bad));
    // Usage errors.
    EXPECT_EQ(runCli({QStringLiteral("calibrate"), picture, bad}).status, 1);
    EXPECT_EQ(calibrate(bad, {QStringLiteral("--x-left")}).status, 1);
    EXPECT_EQ(runCli({QStringLiteral("calibrate"), picture, bad, QStringLiteral("--y-upper"), QStringLiteral("1,2,abc"),
                      QStringLiteral("--y-lower"), QStringLiteral("50,50,0"), QStringLiteral("--x-left"),
                      QStringLiteral("50,50,0"), QStringLiteral("--x-right"), QStringLiteral("350,50,300")})
                  .status,
              1);
    EXPECT_EQ(runCli({QStringLiteral("export"), bad, QStringLiteral("--format"), QStringLiteral("xml")}).status, 1);
    EXPECT_EQ(runCli({QStringLiteral("trace"), bad}).status, 1);
    EXPECT_EQ(runCli({QStringLiteral("trace"), bad, QStringLiteral("--rect"), QStringLiteral("5,5,5,10")}).status, 1);
    EXPECT_EQ(runCli({QStringLiteral("trace"), bad, QStringLiteral("--rect"),
                      QStringLiteral("0,0,-2147483648,-2147483648")})
                  .status,
              1);
    EXPECT_EQ(runCli({QStringLiteral("info")}).status, 1);
    EXPECT_EQ(runCli({QStringLiteral("render"), bad}).status, 1);

    // A document that cannot be opened, and one that is not a document.
    r = runCli({QStringLiteral("info"), path("missing.cvd")});
    EXPECT_EQ(r.status, 2);
    QFile junk(path("junk.cvd"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(600, 'x'));
    junk.close();
    r = runCli({QStringLiteral("info"), path("junk.cvd")});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(r.err.isEmpty());

    // A converted document with an empty page: nothing to export.
    const QString a = path("a.cvd");
    ASSERT_EQ(calibrate(a).status, 0);
    r = runCli({QStringLiteral("export"), a});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, QStringLiteral("cvglean-cli: 保存するデータがありません。\n"));
    EXPECT_EQ(runCli({QStringLiteral("export"), a, QStringLiteral("--page"), QStringLiteral("2")}).status, 1);
    // A trace that finds nothing.
    r = runCli({QStringLiteral("trace"), a, QStringLiteral("--rect"), QStringLiteral("0,0,50,50")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, QStringLiteral("cvglean-cli: 条件を変えてもう一度実行してください\n"));
    // Threshold 0: nothing is darker than 0.
    r = runCli({QStringLiteral("trace"), a, QStringLiteral("--rect"), QStringLiteral("90,100,310,200"),
                QStringLiteral("--threshold"), QStringLiteral("0")});
    EXPECT_EQ(r.status, 2);
    // Empty page interpolation.
    r = runCli({QStringLiteral("interpolate"), a});
    EXPECT_EQ(r.err, QStringLiteral("cvglean-cli: ワークシートに座標データがありません。\n"));

    // A document that is not converted.
    Document fresh;
    fresh.images.workingImage = linePicture();
    fresh.state.pictureLoaded = true;
    ASSERT_TRUE(WritePoints(fresh.sheets.page(0), {{1, 2}}));
    NullProgress quiet;
    const QString plain = path("plain.cvd");
    ASSERT_TRUE(WriteDocument(plain, fresh, quiet));
    r = runCli({QStringLiteral("export"), plain});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, QStringLiteral("cvglean-cli: 換算値が計算されていません。\n"));
    r = runCli({QStringLiteral("export"), plain, QStringLiteral("--pixels")});
    EXPECT_EQ(r.out, QByteArray("1\t2\r\n"));
    EXPECT_EQ(runCli({QStringLiteral("render"), plain, path("x.bmp")}).status, 2);
    EXPECT_EQ(runCli({QStringLiteral("render"), plain, path("x.png")}).status, 2);
}

namespace {

// A white 400 x 300 picture with a red (230, 20, 30) band across, rows
// 96..111 of columns 96..303, and a blue (20, 40, 220) band down, columns
// 192..207 of rows 32..239, drawn over the red one where they cross. The
// document keeps the picture exact, so no pixel blends two colours.
QImage twoBandPicture()
{
    QImage image = newPicture(400, 300);
    auto fill = [&](int left, int top, int right, int bottom, uchar r, uchar g, uchar b) {
        for (int row = top; row <= bottom; ++row)
            for (int x = left; x <= right; ++x) {
                uchar* p = image.scanLine(row) + 3 * x;
                p[0] = r;
                p[1] = g;
                p[2] = b;
            }
    };
    fill(96, 96, 303, 111, 230, 20, 30);
    fill(192, 32, 207, 239, 20, 40, 220);
    return image;
}

} // namespace

TEST_F(CliPipeline, TraceByColour)
{
    picture = path("bands.bmp");
    SaveBmpPicture(picture, twoBandPicture());
    const QString a = path("a.cvd");
    ASSERT_EQ(calibrate(a).status, 0);

    // The red band alone, within 60 of pure red (it is 44 away, blue 324):
    // rows 96..111 of the columns 96..191 and 208..303, not the columns under
    // blue. Averaged, each column gives row 103.5, rounded to 104: Y = 300 - 104.
    QByteArray expected;
    for (int x = 96; x <= 303; ++x)
        if (x <= 191 || x >= 208)
            expected += QByteArray::number(x) + "\t196\r\n";
    const QString b = path("b.cvd");
    CliRun r = runCli({QStringLiteral("trace"), a, QStringLiteral("--rect"), QStringLiteral("0,0,400,300"),
                       QStringLiteral("--colour"), QStringLiteral("FF0000"), QStringLiteral("--tolerance"),
                       QStringLiteral("60"), QStringLiteral("--average"), QStringLiteral("--output"), b});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("page 1 points 192\n"));
    r = runCli({QStringLiteral("export"), b, QStringLiteral("--pixels")});
    EXPECT_EQ(r.out, expected);

    // Every pixel; the tolerance defaults to 60, and '#' and small letters are taken.
    r = runCli({QStringLiteral("trace"), a, QStringLiteral("--rect"), QStringLiteral("0,0,400,300"),
                QStringLiteral("--colour"), QStringLiteral("#ff0000"), QStringLiteral("--output"), b});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("page 1 points 3072\n")); // 192 columns, 16 rows each
    r = runCli({QStringLiteral("export"), b, QStringLiteral("--pixels")});
    EXPECT_TRUE(r.out.startsWith("96\t204\r\n96\t203\r\n")) << r.out.left(40).toStdString();
    EXPECT_TRUE(r.out.endsWith("303\t190\r\n303\t189\r\n"));
    EXPECT_FALSE(r.out.contains("\n200\t")) << "column 200 lies under blue";
    // With 90 blue and white stay out all the same.
    r = runCli({QStringLiteral("trace"), a, QStringLiteral("--rect"), QStringLiteral("0,0,400,300"),
                QStringLiteral("--colour"), QStringLiteral("FF0000"), QStringLiteral("--tolerance"),
                QStringLiteral("90"), QStringLiteral("--average"), QStringLiteral("--output"), b});
    EXPECT_EQ(r.out, QByteArray("page 1 points 192\n"));
    // Tolerance 0: pure red is nowhere.
    r = runCli({QStringLiteral("trace"), a, QStringLiteral("--rect"), QStringLiteral("0,0,400,300"),
                QStringLiteral("--colour"), QStringLiteral("FF0000"), QStringLiteral("--tolerance"),
                QStringLiteral("0")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, QStringLiteral("cvglean-cli: 条件を変えてもう一度実行してください\n"));

    // Usage errors: the reason, then the usage text; exit status 1.
    const struct {
        QStringList extra;
        QString reason;
    } cases[] = {
        {{QStringLiteral("--tolerance"), QStringLiteral("60")}, QStringLiteral("--tolerance needs --colour RRGGBB")},
        {{QStringLiteral("--colour"), QStringLiteral("FF00GG")},
         QStringLiteral("--colour must be six hexadecimal digits RRGGBB (FF0000 is pure red)")},
        {{QStringLiteral("--colour"), QStringLiteral("FF000")},
         QStringLiteral("--colour must be six hexadecimal digits RRGGBB (FF0000 is pure red)")},
        {{QStringLiteral("--colour"), QStringLiteral("0xFF00")},
         QStringLiteral("--colour must be six hexadecimal digits RRGGBB (FF0000 is pure red)")},
        {{QStringLiteral("--colour"), QStringLiteral("+FF0000")},
         QStringLiteral("--colour must be six hexadecimal digits RRGGBB (FF0000 is pure red)")},
        {{QStringLiteral("--colour"), QStringLiteral("FF0000"), QStringLiteral("--tolerance"), QStringLiteral("442")},
         QStringLiteral("--tolerance must be an integer from 0 to 441")},
        {{QStringLiteral("--colour"), QStringLiteral("FF0000"), QStringLiteral("--tolerance"), QStringLiteral("-1")},
         QStringLiteral("--tolerance must be an integer from 0 to 441")},
        {{QStringLiteral("--colour"), QStringLiteral("FF0000"), QStringLiteral("--tolerance"), QStringLiteral("six")},
         QStringLiteral("--tolerance must be an integer from 0 to 441")},
        {{QStringLiteral("--colour"), QStringLiteral("FF0000"), QStringLiteral("--threshold"), QStringLiteral("100")},
         QStringLiteral("--threshold and --colour cannot be used together")},
    };
    for (const auto& c : cases) {
        const QString out = path("never.cvd");
        r = runCli(QStringList{QStringLiteral("trace"), a, QStringLiteral("--rect"), QStringLiteral("0,0,400,300"),
                               QStringLiteral("--output"), out}
                   + c.extra);
        EXPECT_EQ(r.status, 1) << c.reason.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("cvglean-cli: ") + c.reason + QStringLiteral("\n\nUsage: ")))
            << r.err.left(120).toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
    // The usage text names the new options.
    r = runCli({QStringLiteral("--help")});
    EXPECT_TRUE(r.out.contains("  trace DOC.cvd --rect LEFT,TOP,RIGHT,BOTTOM [--threshold N | --colour RRGGBB "
                               "[--tolerance N]] [--interval N] [--average | --follow X,Y [--max-gap N] | --markers "
                               "[--marker-size N] | --bars] [--exclude LEFT,TOP,RIGHT,BOTTOM]... [--precise] "
                               "[--output OUT.cvd]\n"));
}

TEST_F(CliPipeline, PreciseTraceOfAnOrangeLineKeptExactByCalibrate)
{
    // An orange anti-aliased line, 2 px wide, rising 0.2 px a column; the
    // calibrated document keeps the picture exact, so a tight colour
    // tolerance still finds it after the picture went through the file.
    QImage image = newPicture(400, 300);
    const auto row = [](double x) { return 180.3 - 0.2 * (x - 100); }; // painter rows
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0xFF, 0x7F, 0x0E), 2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(100, row(100)), QPointF(300, row(300)));
    }
    picture = path("orange.bmp");
    SaveBmpPicture(picture, image);
    const QString a = path("a.cvd");
    ASSERT_EQ(calibrate(a).status, 0);
    const QString b = path("b.cvd");
    CliRun r = runCli({QStringLiteral("trace"), a, QStringLiteral("--rect"), QStringLiteral("110,0,290,300"),
                       QStringLiteral("--colour"), QStringLiteral("FF7F0E"), QStringLiteral("--tolerance"),
                       QStringLiteral("12"), QStringLiteral("--precise"), QStringLiteral("--output"), b});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QByteArray("page 1 points 180\n"));

    // Values from the precise positions (Y: 0.5 a pixel upward from row 250
    // counted up, i.e. upward y 50); the grid's whole pixels are their rounding.
    const QList<QByteArray> values = runCli({QStringLiteral("export"), b, QStringLiteral("--format"),
                                              QStringLiteral("csv")}).out.split('\n');
    const QList<QByteArray> pixels = runCli({QStringLiteral("export"), b, QStringLiteral("--pixels")}).out.split('\n');
    ASSERT_EQ(values.size(), 181);
    double worst = 0;
    for (int i = 0; i < 180; ++i) {
        const QList<QByteArray> v = values[i].trimmed().split(',');
        const QList<QByteArray> px = pixels[i].trimmed().split('\t');
        const int x = 110 + i;
        const double upward = 300 - (row(x + 0.5) - 0.5);
        EXPECT_EQ(v[0].toDouble(), x - 50.0);
        worst = std::max(worst, std::abs(v[1].toDouble() - (upward - 50) * 0.5));
        EXPECT_EQ(px[0].toInt(), x);
        EXPECT_LE(std::abs(px[1].toInt() - (v[1].toDouble() / 0.5 + 50)), 0.5) << i;
    }
    EXPECT_LT(worst, 0.05); // a tenth of a pixel is 0.05 on this axis
}

namespace {

QString boundsText(const QRect& r)
{
    return QStringLiteral("%1,%2,%3,%4").arg(r.left()).arg(r.top()).arg(r.right() + 1).arg(r.bottom() + 1);
}

} // namespace

// The readings that know a figure through the real program: one black curve
// of two followed from a seed, one point per marker with the legend left
// out, one per bar; and their usage errors.
TEST_F(CliPipeline, TraceFollowMarkersBars)
{
    struct Case {
        test::FigureKind kind;
        QStringList options; // besides the document, the rectangle and the output; "" is the legend
        int points;          // 0: the followed curve, checked against the drawn one
    };
    const test::Figure curves = test::drawFigure(test::FigureKind::BlackCurves);
    const QPointF seed = curves.curves[0].path[300];
    const QString seedText = QStringLiteral("%1,%2").arg(std::lround(seed.x())).arg(std::lround(seed.y()));
    const Case cases[] = {
        {test::FigureKind::BlackCurves,
         {QStringLiteral("--follow"), seedText, QStringLiteral("--threshold"), QStringLiteral("160")},
         0},
        {test::FigureKind::Scatter,
         {QStringLiteral("--markers"), QStringLiteral("--colour"), QStringLiteral("1F77B4"), QStringLiteral("--exclude"),
          QString()},
         40},
        {test::FigureKind::Bars,
         {QStringLiteral("--bars"), QStringLiteral("--colour"), QStringLiteral("1F77B4"), QStringLiteral("--exclude"),
          QString(), QStringLiteral("--precise")},
         8},
    };
    for (const Case& c : cases) {
        const test::Figure f = test::drawFigure(c.kind);
        picture = path("figure.bmp");
        SaveBmpPicture(picture, f.picture);
        const QString a = path("a.cvd"), b = path("b.cvd");
        ASSERT_EQ(calibrate(a).status, 0);
        QStringList options = c.options;
        for (QString& o : options)
            if (o.isEmpty())
                o = boundsText(f.legend);
        const CliRun r = runCli(QStringList{QStringLiteral("trace"), a, QStringLiteral("--rect"), boundsText(f.plot),
                                            QStringLiteral("--output"), b}
                                + options);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        if (c.points > 0) {
            EXPECT_EQ(r.out, QStringLiteral("page 1 points %1\n").arg(c.points).toUtf8());
            continue;
        }
        // Whole pixels within a pixel and a half of the solid curve (a pixel
        // off at most, then rounded), in nearly every column of the plot.
        const QList<QByteArray> lines =
            runCli({QStringLiteral("export"), b, QStringLiteral("--pixels")}).out.split('\n');
        int count = 0;
        for (const QByteArray& line : lines) {
            const QList<QByteArray> xy = line.trimmed().split('\t');
            if (xy.size() != 2)
                continue;
            ++count;
            const QPointF p(xy[0].toDouble(), f.picture.height() - xy[1].toDouble());
            EXPECT_LE(test::distanceToPath(f.curves[0].path, p), 1.5) << line.toStdString();
        }
        EXPECT_GE(count, int(0.98 * f.plot.width()));
        EXPECT_EQ(r.out, QStringLiteral("page 1 points %1\n").arg(count).toUtf8());
    }

    // Usage errors: the reason, then the usage text; exit status 1.
    picture = path("curves.bmp");
    SaveBmpPicture(picture, curves.picture);
    const QString a = path("a.cvd");
    ASSERT_EQ(calibrate(a).status, 0);
    const struct {
        QStringList extra;
        QString reason;
    } errors[] = {
        {{QStringLiteral("--follow"), seedText, QStringLiteral("--markers")},
         QStringLiteral("--follow, --markers, --bars and --average exclude each other")},
        {{QStringLiteral("--bars"), QStringLiteral("--average")},
         QStringLiteral("--follow, --markers, --bars and --average exclude each other")},
        {{QStringLiteral("--follow"), QStringLiteral("12")},
         QStringLiteral("--follow needs X,Y: the column and row of a pixel of the curve")},
        {{QStringLiteral("--follow"), QStringLiteral("130,50")},
         QStringLiteral("--follow 130,50: no pixel of the curve within 3 pixels of that point")},
        {{QStringLiteral("--max-gap"), QStringLiteral("10")}, QStringLiteral("--max-gap needs --follow X,Y")},
        {{QStringLiteral("--marker-size"), QStringLiteral("9")}, QStringLiteral("--marker-size needs --markers")},
        {{QStringLiteral("--markers"), QStringLiteral("--marker-size"), QStringLiteral("0")},
         QStringLiteral("--marker-size must be an integer from 1 to 10000")},
        {{QStringLiteral("--exclude"), QStringLiteral("10,10,5,20")},
         QStringLiteral("--exclude needs LEFT,TOP,RIGHT,BOTTOM with RIGHT > LEFT and BOTTOM > TOP")},
    };
    for (const auto& e : errors) {
        const QString out = path("never.cvd");
        const CliRun r = runCli(QStringList{QStringLiteral("trace"), a, QStringLiteral("--rect"),
                                            boundsText(curves.plot), QStringLiteral("--output"), out}
                                + e.extra);
        EXPECT_EQ(r.status, 1) << e.reason.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("cvglean-cli: ") + e.reason + QStringLiteral("\n\nUsage: ")))
            << r.err.left(160).toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}
