// make-sample: draws a small graph, calibrates it and writes a document with
// points of its two curves on two pages, so that a first start of the
// program has something to show.
#include "platform/HeadlessDialogs.h"
#include "image/BmpCodec.h"
#include "calibration/Calibration.h"
#include "calibration/CorrectDistortion.h"
#include "image/ImageSet.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentFile.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
// The plot frame before the slight turn that a scanner gives a page.
constexpr double kLeft = 80, kRight = 600, kTop = 40, kBottom = 420;
constexpr double kXMax = 10, kYMax = 100;
constexpr double kTurnDegrees = 0.8;

double curveOne(double x)
{
    return 50 + 35 * std::sin(0.9 * x);
}
double curveTwo(double x)
{
    return 95 * (1 - std::exp(-x / 3));
}


QTransform pageTurn()
{
    QTransform t;
    t.translate(kLeft, kBottom);
    t.rotate(kTurnDegrees);
    t.translate(-kLeft, -kBottom);
    return t;
}

QPointF plotPoint(double x, double y)
{
    return { kLeft + (kRight - kLeft) * x / kXMax, kBottom - (kBottom - kTop) * y / kYMax };
}

QImage drawSampleGraph()
{
    QImage picture = cvg::newPicture(kWidth, kHeight);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(pageTurn());
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(plotPoint(0, 0), plotPoint(kXMax, 0));
    p.drawLine(plotPoint(0, 0), plotPoint(0, kYMax));
    p.setPen(QPen(Qt::black, 1));
    QFont font = p.font();
    font.setPixelSize(14);
    p.setFont(font);
    for (int i = 0; i <= 10; ++i) {
        const QPointF x = plotPoint(i, 0);
        p.drawLine(x, x + QPointF(0, 6));
        p.drawText(
            QRectF(x.x() - 20, x.y() + 8, 40, 18), Qt::AlignHCenter | Qt::AlignTop, QString::number(i));
        const QPointF y = plotPoint(0, i * 10);
        p.drawLine(y, y - QPointF(6, 0));
        p.drawText(QRectF(y.x() - 48, y.y() - 9, 38, 18), Qt::AlignRight | Qt::AlignVCenter,
            QString::number(i * 10));
    }
    const std::pair<std::function<double(double)>, QColor> curves[]
        = { { curveOne, QColor(0, 0, 200) }, { curveTwo, QColor(200, 0, 0) } };
    for (const auto& [f, colour] : curves) {
        QPainterPath path(plotPoint(0, f(0)));
        for (double x = 0.05; x <= kXMax + 1e-9; x += 0.05)
            path.lineTo(plotPoint(x, f(x)));
        p.setPen(QPen(colour, 2));
        p.drawPath(path);
    }
    p.end();
    return picture;
}

// A point of the plot on the turned picture: column and upward row.
cvg::ReferencePoint reference(double x, double y, double value)
{
    const QPointF at = pageTurn().map(plotPoint(x, y));
    return { int32_t(std::lround(at.x())), int32_t(kHeight - std::lround(at.y())), value };
}

// The curve's points on the corrected picture, from the computed scales.
std::vector<cvg::Point> samplePoints(const cvg::Calibration& cal, double (*f)(double))
{
    const cvg::ReferencePoint& xOrigin = cal.CorrectedPoints[cvg::XLeft];
    const cvg::ReferencePoint& yOrigin = cal.CorrectedPoints[cvg::YLower];
    std::vector<cvg::Point> points;
    for (int i = 0; i <= 40; ++i) {
        const double x = i * kXMax / 40;
        points.push_back({ int32_t(std::lround(xOrigin.x + (x - xOrigin.value) / cal.ScaleX)),
            int32_t(std::lround(yOrigin.y + (f(x) - yOrigin.value) / cal.ScaleY)) });
    }
    return points;
}

int fail(const char* what)
{
    std::fprintf(stderr, "make-sample: %s\n", what);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "Usage: make-sample OUTPUT.cvd [GRAPH.bmp]\n");
        return 1;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);

    cvg::Document doc;
    doc.reset();
    doc.images.workingImage = drawSampleGraph();
    // The graph alone, for trying the command-line tool from the start.
    if (argc == 3) {
        try {
            cvg::SaveBmpPicture(QString::fromLocal8Bit(argv[2]), doc.images.workingImage);
        } catch (const cvg::CvgError& e) {
            return fail(qPrintable(e.userText()));
        }
    }
    doc.resize.width = kWidth;
    doc.resize.height = kHeight;
    doc.state.pictureLoaded = true;

    cvg::Calibration& cal = doc.calibration;
    cal.SourcePoints[cvg::YUpper] = reference(0, kYMax, kYMax);
    cal.SourcePoints[cvg::YLower] = reference(0, 0, 0);
    cal.SourcePoints[cvg::XLeft] = reference(0, 0, 0);
    cal.SourcePoints[cvg::XRight] = reference(kXMax, 0, kXMax);
    cal.PointsSpecified = true;
    cvg::HeadlessDialogs dialogs([](const QString& text) {
        std::fprintf(stderr, "make-sample: %s\n", text.toLocal8Bit().constData());
    });
    cvg::NullProgress progress;
    if (!cvg::CorrectDistortion(doc.images.workingImage, cal, doc.images.correctedImage, progress, dialogs))
        return fail("the correction failed");
    if (!cvg::ConvertData(cal))
        return fail("the scales could not be computed");
    cal.Converted = true;

    doc.sheets.page(0).points = samplePoints(cal, curveOne);
    doc.sheets.CreateSheetPage();
    doc.sheets.page(1).points = samplePoints(cal, curveTwo);
    doc.sheets.setCurrentIndex(0);

    try {
        if (!cvg::WriteDocument(path, doc, progress))
            return fail("the picture could not be encoded");
        cvg::Document check;
        check.reset();
        if (!cvg::ReadDocument(path, check, dialogs, progress) || !check.calibration.Converted)
            return fail("the written document does not read back");
    } catch (const cvg::CvgError& e) {
        return fail(e.userText().toLocal8Bit().constData());
    }
    return 0;
}
