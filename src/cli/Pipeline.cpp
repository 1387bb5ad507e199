// The commands from picture to numbers: calibrate, info, export, trace,
// interpolate, render. They call the core exactly as the windows do.
#include "CliSupport.h"

#include "calibration/Calibration.h"
#include "calibration/CorrectDistortion.h"
#include "calibration/ValueText.h"
#include "interpolate/InterpolateSheet.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/PointMarkers.h"
#include "trace/PreciseTrace.h"
#include "trace/Readings.h"
#include "trace/TraceLine.h"
#include "worksheet/TextExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

const QString kNotConverted = QStringLiteral("換算値が計算されていません。");
const QString kNothingToSave = QStringLiteral("保存するデータがありません。");

// "X,Y,VALUE": pixel column, upward y, and the value as typed.
bool parseReference(const QString& text, cvg::ReferencePoint& point, QString& valueText)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return false;
    bool okX = false, okY = false;
    point.x = parts[0].trimmed().toInt(&okX);
    point.y = parts[1].trimmed().toInt(&okY);
    valueText = parts[2];
    return okX && okY && cvg::ParseValue(valueText, point.value);
}

// "RRGGBB" as on the web (a leading '#' allowed): six hexadecimal digits.
std::optional<QRgb> parseWebColour(QString text)
{
    if (text.startsWith(QLatin1Char('#')))
        text.remove(0, 1);
    if (text.size() != 6)
        return std::nullopt;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool hex = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
        if (!hex)
            return std::nullopt;
    }
    return QRgb(0xFF000000u | text.toUInt(nullptr, 16));
}

// Where a command that changes a document writes it.
QString outputOf(const Options& options, const QString& document)
{
    return options.values.value(QStringLiteral("output"), document);
}

} // namespace

int runCalibrate(const QStringList& args)
{
    const QStringList names = {QStringLiteral("y-upper"), QStringLiteral("y-lower"), QStringLiteral("x-left"),
                               QStringLiteral("x-right")};
    const Options options
        = parseOptions(args, names + pdfOptionNames(), {QStringLiteral("x-log"), QStringLiteral("y-log")});
    if (!options.error.isEmpty())
        return usageError(options.error);
    if (options.operands.size() != 2)
        return usageError(QStringLiteral("calibrate needs PICTURE and OUTPUT.cvd"));
    QString pdfError;
    const std::optional<cvg::PdfPageRequest> pdf = pdfRequest(options, options.operands[0], pdfError);
    if (!pdf)
        return usageError(pdfError);
    cvg::Document doc;
    doc.reset();
    cvg::Calibration& cal = doc.calibration;
    std::array<QString, 4> valueTexts;
    for (int i = 0; i < 4; ++i) {
        if (!options.values.contains(names[i]))
            return usageError(QStringLiteral("calibrate needs --%1 X,Y,VALUE").arg(names[i]));
        if (!parseReference(options.values.value(names[i]), cal.SourcePoints[size_t(i)], valueTexts[size_t(i)]))
            return usageError(QStringLiteral("--%1 must be X,Y,VALUE with integer X and Y and a number VALUE")
                                  .arg(names[i]));
    }
    cal.XLog = options.flags.contains(QStringLiteral("x-log"));
    cal.YLog = options.flags.contains(QStringLiteral("y-log"));
    cal.Shared = cal.SourcePoints[cvg::XLeft].x == cal.SourcePoints[cvg::YLower].x
                 && cal.SourcePoints[cvg::XLeft].y == cal.SourcePoints[cvg::YLower].y;
    cal.PointsSpecified = true;

    const std::optional<QImage> picture = readPicture(options.operands[0], *pdf);
    if (!picture)
        return kExitFailed;
    doc.images.workingImage = *picture;
    doc.state.pictureLoaded = true;
    doc.resize.width = picture->width();
    doc.resize.height = picture->height();

    cvg::HeadlessDialogs dialogs = stderrDialogs();
    if (!cvg::ValidateCalibration(cal, valueTexts, dialogs))
        return failure(QStringLiteral("パラメータを変更してから実行してください。"));
    cvg::NullProgress quiet;
    if (!cvg::CorrectDistortion(doc.images.workingImage, cal, doc.images.correctedImage, quiet, dialogs))
        return kExitFailed;
    if (!cvg::ConvertData(cal))
        return failure(QStringLiteral("the scales cannot be computed: a logarithmic axis has a value of zero or "
                                      "below, or two points of one axis lie on one row or column"));
    cal.Converted = true;
    return writeDocument(options.operands[1], doc) ? kExitOk : kExitFailed;
}

int runInfo(const QStringList& args)
{
    const Options options = parseOptions(args, {}, {});
    if (!options.error.isEmpty())
        return usageError(options.error);
    if (options.operands.size() != 1)
        return usageError(QStringLiteral("info needs DOC.cvd"));
    cvg::Document doc;
    if (!readDocument(options.operands[0], doc))
        return kExitFailed;

    auto size = [](const QImage& image) {
        return QJsonObject{{QStringLiteral("width"), image.width()}, {QStringLiteral("height"), image.height()}};
    };
    auto points = [](const std::array<cvg::ReferencePoint, 4>& list) {
        QJsonArray array;
        for (const cvg::ReferencePoint& p : list)
            array.append(QJsonObject{{QStringLiteral("x"), p.x}, {QStringLiteral("y"), p.y},
                                     {QStringLiteral("value"), p.value}});
        return array;
    };
    const cvg::Calibration& cal = doc.calibration;
    QJsonArray pages;
    for (int i = 0; i < doc.sheets.pageCount(); ++i)
        pages.append(QJsonObject{{QStringLiteral("caption"), doc.sheets.page(i).caption},
                                 {QStringLiteral("points"), cvg::PointCount(doc.sheets.page(i))}});
    const QJsonObject root{
        {QStringLiteral("version"), doc.header.version()},
        {QStringLiteral("converted"), cal.Converted},
        {QStringLiteral("picture"), size(doc.images.workingImage)},
        {QStringLiteral("corrected"), size(doc.images.correctedImage)},
        {QStringLiteral("resize"), QJsonObject{{QStringLiteral("resized"), doc.resize.resized},
                                               {QStringLiteral("width"), doc.resize.width},
                                               {QStringLiteral("height"), doc.resize.height}}},
        {QStringLiteral("calibration"),
         QJsonObject{{QStringLiteral("xLog"), cal.XLog},
                     {QStringLiteral("yLog"), cal.YLog},
                     {QStringLiteral("scaleX"), cal.ScaleX},
                     {QStringLiteral("scaleY"), cal.ScaleY},
                     {QStringLiteral("source"), points(cal.SourcePoints)},
                     {QStringLiteral("corrected"), points(cal.CorrectedPoints)}}},
        {QStringLiteral("pages"), pages}};
    const QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return kExitOk;
}

int runExport(const QStringList& args)
{
    const Options options = parseOptions(args, {QStringLiteral("page"), QStringLiteral("format"), QStringLiteral("output")},
                                         {QStringLiteral("pixels")});
    if (!options.error.isEmpty())
        return usageError(options.error);
    if (options.operands.size() != 1)
        return usageError(QStringLiteral("export needs DOC.cvd"));
    const QString format = options.values.value(QStringLiteral("format"), QStringLiteral("tab"));
    const QStringList formats = {QStringLiteral("tab"), QStringLiteral("csv"), QStringLiteral("prn")};
    if (!formats.contains(format))
        return usageError(QStringLiteral("--format must be tab, csv or prn"));
    cvg::Document doc;
    if (!readDocument(options.operands[0], doc))
        return kExitFailed;
    QString error;
    const std::optional<int> page = pageIndex(options, doc, error);
    if (!page)
        return usageError(error);
    const bool pixels = options.flags.contains(QStringLiteral("pixels"));
    if (!pixels && !doc.calibration.Converted)
        return failure(kNotConverted);
    const std::vector<cvg::Point>& points = doc.sheets.page(*page).points;
    if (points.empty())
        return failure(kNothingToSave);
    const char separator = cvg::TransferSeparator(int(formats.indexOf(format)));
    QByteArray bytes;
    if (pixels) {
        bytes.reserve(qsizetype(points.size()) * 16);
        for (const cvg::Point& p : points) {
            bytes += QByteArray::number(p.X);
            bytes += separator;
            bytes += QByteArray::number(p.Y);
            bytes += "\r\n";
        }
    } else {
        cvg::NullProgress quiet;
        bytes = cvg::ExportLines(points, doc.calibration, separator, quiet);
    }
    if (options.values.contains(QStringLiteral("output"))) {
        try {
            cvg::writeFileReplacing(options.values.value(QStringLiteral("output")), bytes);
        } catch (const cvg::CvgError& e) {
            return failure(e.userText());
        }
    } else {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    }
    return kExitOk;
}

// "LEFT,TOP,RIGHT,BOTTOM" with RIGHT > LEFT and BOTTOM > TOP.
bool parseBounds(const QString& text, int (&bounds)[4])
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool ok = parts.size() == 4;
    for (int i = 0; ok && i < 4; ++i)
        bounds[i] = parts[i].trimmed().toInt(&ok);
    return ok && bounds[2] > bounds[0] && bounds[3] > bounds[1];
}

int runTrace(const QStringList& args)
{
    const Options options = parseOptions(
        args,
        {QStringLiteral("rect"), QStringLiteral("threshold"), QStringLiteral("interval"), QStringLiteral("colour"),
         QStringLiteral("tolerance"), QStringLiteral("output"), QStringLiteral("follow"), QStringLiteral("marker-size"),
         QStringLiteral("exclude"), QStringLiteral("max-gap")},
        {QStringLiteral("average"), QStringLiteral("precise"), QStringLiteral("markers"), QStringLiteral("bars")});
    if (!options.error.isEmpty())
        return usageError(options.error);
    if (options.operands.size() != 1)
        return usageError(QStringLiteral("trace needs DOC.cvd"));
    // The precise reading is an averaging one: --average may be given or not.
    const bool precise = options.flags.contains(QStringLiteral("precise"));
    int bounds[4] = {0, 0, 0, 0};
    if (!parseBounds(options.values.value(QStringLiteral("rect")), bounds))
        return usageError(QStringLiteral("trace needs --rect LEFT,TOP,RIGHT,BOTTOM with RIGHT > LEFT and BOTTOM > TOP"));
    int threshold = 0, interval = 0;
    QString error;
    if (!parseInt(options, QStringLiteral("threshold"), 125, 0, 255, threshold, error)
        || !parseInt(options, QStringLiteral("interval"), 1, 1, 10000, interval, error))
        return usageError(error);
    // By colour: the pixels within the tolerance of --colour, instead of the dark ones.
    const bool byColour = options.values.contains(QStringLiteral("colour"));
    if (!byColour && options.values.contains(QStringLiteral("tolerance")))
        return usageError(QStringLiteral("--tolerance needs --colour RRGGBB"));
    if (byColour && options.values.contains(QStringLiteral("threshold")))
        return usageError(QStringLiteral("--threshold and --colour cannot be used together"));
    std::optional<QRgb> colour;
    int tolerance = 0;
    if (byColour) {
        colour = parseWebColour(options.values.value(QStringLiteral("colour")));
        if (!colour)
            return usageError(
                QStringLiteral("--colour must be six hexadecimal digits RRGGBB (FF0000 is pure red)"));
        if (!parseInt(options, QStringLiteral("tolerance"), 60, 0, cvg::kMaxColourTolerance, tolerance, error))
            return usageError(error);
    }
    // Which reading: one curve from a seed, one point per marker or per bar,
    // or the engine's own (every pixel, or one per column with --average).
    cvg::ReadingRequest request;
    request.precise = precise;
    request.kind = options.flags.contains(QStringLiteral("average")) || precise ? cvg::Reading::Average
                                                                                 : cvg::Reading::All;
    const bool follow = options.values.contains(QStringLiteral("follow"));
    const bool markers = options.flags.contains(QStringLiteral("markers"));
    const bool bars = options.flags.contains(QStringLiteral("bars"));
    if (int(follow) + int(markers) + int(bars) + int(options.flags.contains(QStringLiteral("average"))) > 1)
        return usageError(QStringLiteral("--follow, --markers, --bars and --average exclude each other"));
    if (!follow && options.values.contains(QStringLiteral("max-gap")))
        return usageError(QStringLiteral("--max-gap needs --follow X,Y"));
    if (!markers && options.values.contains(QStringLiteral("marker-size")))
        return usageError(QStringLiteral("--marker-size needs --markers"));
    if (follow) {
        request.kind = cvg::Reading::Follow;
        const QStringList xy = options.values.value(QStringLiteral("follow")).split(QLatin1Char(','));
        bool ok = xy.size() == 2;
        int seed[2] = {0, 0};
        for (int i = 0; ok && i < 2; ++i)
            seed[i] = xy[i].trimmed().toInt(&ok);
        if (!ok)
            return usageError(QStringLiteral("--follow needs X,Y: the column and row of a pixel of the curve"));
        request.seed = QPoint(seed[0], seed[1]);
        if (!parseInt(options, QStringLiteral("max-gap"), 0, 1, 1000000, request.maxGap, error))
            return usageError(error);
    } else if (markers) {
        request.kind = cvg::Reading::Markers;
        if (!parseInt(options, QStringLiteral("marker-size"), 0, 1, 10000, request.markerSize, error))
            return usageError(error);
    } else if (bars) {
        request.kind = cvg::Reading::Bars;
    }
    // Left out of every reading; right and bottom exclusive like --rect.
    std::vector<QRect> excluded;
    for (const QString& text : options.values.values(QStringLiteral("exclude"))) {
        int cut[4] = {0, 0, 0, 0};
        if (!parseBounds(text, cut))
            return usageError(
                QStringLiteral("--exclude needs LEFT,TOP,RIGHT,BOTTOM with RIGHT > LEFT and BOTTOM > TOP"));
        excluded.push_back(QRect(QPoint(cut[0], cut[1]), QPoint(cut[2] - 1, cut[3] - 1)));
    }

    const QString path = options.operands[0];
    cvg::Document doc;
    if (!readDocument(path, doc))
        return kExitFailed;
    if (!doc.calibration.Converted || doc.images.correctedImage.isNull())
        return failure(kNotConverted);

    const QImage& corrected = doc.images.correctedImage;
    cvg::TTraceLine engine;
    engine.BoundColor = threshold;
    engine.ScanInterval = interval;
    engine.Excluded = excluded;
    if (colour) {
        engine.Mode = cvg::TraceMode::Colour;
        engine.LineColour = *colour;
        engine.Tolerance = tolerance;
    }
    // Right and bottom are exclusive here; the engine takes inclusive bounds.
    const cvg::ReadingResult found =
        cvg::RunReading(engine, corrected, bounds[0], bounds[1], bounds[2] - 1, bounds[3] - 1, request);
    if (found.seedMissing)
        return usageError(QStringLiteral("--follow %1: no pixel of the curve within %2 pixels of that point")
                              .arg(options.values.value(QStringLiteral("follow")))
                              .arg(cvg::kSeedReach));
    std::vector<cvg::Point> points;
    if (precise) {
        points = cvg::ToWorksheetPoints(found.points, corrected.height());
    } else {
        points.reserve(found.points.size());
        for (const cvg::PrecisePoint& p : found.points)
            points.push_back({int(p.x), corrected.height() - int(p.row)});
    }
    if (points.size() < 2)
        return failure(QStringLiteral("条件を変えてもう一度実行してください"));
    if (points.size() > size_t(cvg::kMaxPoints))
        return failure(QStringLiteral("too many points for one page (more than 1000000)"));
    const size_t count = points.size();
    cvg::Worksheets& sheets = doc.sheets;
    if (!sheets.page(0).points.empty()) {
        if (!sheets.CreateSheetPage())
            return failure(QStringLiteral("ワークシート追加に失敗しました"));
    } else {
        sheets.setCurrentIndex(0);
    }
    cvg::WritePoints(sheets.currentPage(), std::move(points));
    if (!writeDocument(outputOf(options, path), doc))
        return kExitFailed;
    printTo(stdout, QStringLiteral("page %1 points %2\n").arg(sheets.currentIndex() + 1).arg(count));
    return kExitOk;
}

int runInterpolate(const QStringList& args)
{
    const Options options = parseOptions(
        args, {QStringLiteral("page"), QStringLiteral("method"), QStringLiteral("distance"), QStringLiteral("output")},
        {QStringLiteral("sort")});
    if (!options.error.isEmpty())
        return usageError(options.error);
    if (options.operands.size() != 1)
        return usageError(QStringLiteral("interpolate needs DOC.cvd"));
    const QString method = options.values.value(QStringLiteral("method"), QStringLiteral("linear"));
    if (method != QLatin1String("linear") && method != QLatin1String("spline"))
        return usageError(QStringLiteral("--method must be linear or spline"));
    int distance = 0;
    QString error;
    if (!parseInt(options, QStringLiteral("distance"), 1, cvg::kMinSampleDistance, cvg::kMaxSampleDistance,
                  distance, error))
        return usageError(error);

    const QString path = options.operands[0];
    cvg::Document doc;
    if (!readDocument(path, doc))
        return kExitFailed;
    const std::optional<int> page = pageIndex(options, doc, error);
    if (!page)
        return usageError(error);
    cvg::Worksheets& sheets = doc.sheets;
    sheets.setCurrentIndex(*page);
    std::vector<cvg::Point>& points = sheets.currentPage().points;
    if (points.empty())
        return failure(QStringLiteral("ワークシートに座標データがありません。"));
    if (points.size() == 1)
        return failure(QStringLiteral("補間処理には２つ以上の座標データが必要です。"));
    cvg::SheetInterpolation kind =
        method == QLatin1String("spline") ? cvg::SheetInterpolation::Spline : cvg::SheetInterpolation::Linear;
    if (kind == cvg::SheetInterpolation::Spline && points.size() == 2) {
        printTo(stderr, QStringLiteral("cvglean-cli: two points are too few for a spline; interpolating "
                                       "linearly instead\n"));
        kind = cvg::SheetInterpolation::Linear;
    }
    if (!cvg::IsSortedByX(points)) {
        if (!options.flags.contains(QStringLiteral("sort")))
            return failure(QStringLiteral("補間処理の前に、ソートする必要があります。\r\n(the points are not sorted "
                                          "by X; give --sort to sort the page)"));
        cvg::SortByX(points);
    }
    if (cvg::HasDuplicateX(points))
        return failure(QStringLiteral("Xに同じ値を持つ座標が存在します。\r\n補間処理を行う前に削除する必要があります。"));

    cvg::TInterpolate engine;
    cvg::NullProgress quiet;
    try {
        if (!cvg::AddInterpolatedSheet(sheets, engine, kind, distance, quiet))
            return failure(QStringLiteral("補間処理中にエラーが発生しました"));
    } catch (const cvg::CvgError& e) {
        return failure(e.userText());
    }
    if (!writeDocument(outputOf(options, path), doc))
        return kExitFailed;
    printTo(stdout, QStringLiteral("page %1 points %2\n")
                        .arg(sheets.currentIndex() + 1)
                        .arg(sheets.currentPage().points.size()));
    return kExitOk;
}

int runRender(const QStringList& args)
{
    const Options options = parseOptions(args, {QStringLiteral("page")}, {QStringLiteral("no-lines")});
    if (!options.error.isEmpty())
        return usageError(options.error);
    if (options.operands.size() != 2)
        return usageError(QStringLiteral("render needs DOC.cvd and OUTPUT"));
    const PictureKind kind = pictureKindOf(options.operands[1]);
    if (kind != PictureKind::Bitmap && kind != PictureKind::Jpeg)
        return failure(QStringLiteral("%1: このファイル形式で保存することはできません").arg(options.operands[1]));
    cvg::Document doc;
    if (!readDocument(options.operands[0], doc))
        return kExitFailed;
    QString error;
    const std::optional<int> page = pageIndex(options, doc, error);
    if (!page)
        return usageError(error);
    if (!doc.calibration.Converted || doc.images.correctedImage.isNull())
        return failure(kNotConverted);
    cvg::NullProgress quiet;
    // The main view's drawing with the default general marker size.
    const QImage shown = cvg::RedrawPointMarkers(doc.images.correctedImage, doc.sheets.page(*page).points,
                                                 !options.flags.contains(QStringLiteral("no-lines")), 3, quiet);
    return writePicture(options.operands[1], shown) ? kExitOk : kExitFailed;
}

} // namespace cli
