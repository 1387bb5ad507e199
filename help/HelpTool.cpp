// Build step of the help file.
//   cvghelp-tool pictures DIR          draws the pictures the pages show
//   cvghelp-tool check FILE TOPIC...   checks a compiled help file: the
//                                      topics, the contents, the index and
//                                      every page and picture they link to
#include "help/ChmFile.h"
#include "shell/Icons.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <cstdio>

namespace {

const char* const kToolButtons[] = { "ProgramInitialozation", "PublicLoadFile", "PublicSaveFile",
    "SaveWorkSheetAsText", "acImageMagnification", "acDeformationData", "DoDataCovert", "ShowTraceWindow",
    "AddNewSheet", "InsertNewSheet", "DeleteSheet", "GotoTop", "GotoEnd", "SheetDataToClipboard", "EditData",
    "DataSort", "DataCut", "DataCopy", "DataPaste", "DataAllDelete", "DataUndo", "DataRedo",
    "acLinerInterpolation", "acSquareInterpolate", "ShowScopeWindow", "ImageWindow", "SheetConfigulation",
    "DirectoryConfigulation", "acHelp", "acZoomIn", "acZoomOut", "acZoomFit", "acZoomActual" };

void drawMarker(QPainter& p, QPointF at, const QString& label, QPointF labelOffset)
{
    p.setPen(QPen(QColor(0, 0, 255), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(at.x() - 6, at.y() - 6, 12, 12));
    p.drawLine(at - QPointF(9, 0), at + QPointF(9, 0));
    p.drawLine(at - QPointF(0, 9), at + QPointF(0, 9));
    p.setPen(Qt::black);
    p.drawText(at + labelOffset, label);
}

void drawAxes(QPainter& p, const QRect& plot)
{
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.setPen(QPen(Qt::black, 1));
    for (int i = 0; i <= 5; ++i) {
        const int x = plot.left() + i * plot.width() / 5;
        const int y = plot.bottom() - i * plot.height() / 5;
        p.drawLine(x, plot.bottom(), x, plot.bottom() + 5);
        p.drawLine(plot.left() - 5, y, plot.left(), y);
    }
}

QPainterPath curve(const QRect& plot)
{
    QPainterPath path;
    path.moveTo(plot.left() + 10, plot.bottom() - 20);
    path.cubicTo(plot.left() + plot.width() * 0.35, plot.top() - 30, plot.left() + plot.width() * 0.6,
        plot.bottom() + 10, plot.right() - 10, plot.top() + 25);
    return path;
}

// A white picture for a sketch, and a painter on it with smooth lines and
// the help's font.
QImage whitePicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    return image;
}

void prepare(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    p.setFont(font);
}

// The calibration: the rectangle dragged over the axes and the four
// reference markers it places.
QImage calibrationSketch()
{
    QImage image = whitePicture(380, 270);
    QPainter p(&image);
    prepare(p);
    const QRect plot(60, 30, 280, 190);
    drawAxes(p, plot);
    p.setPen(QPen(QColor(200, 0, 0), 2));
    p.drawPath(curve(plot));
    p.setPen(QPen(QColor(0, 128, 0), 1, Qt::DashLine));
    p.drawRect(plot.adjusted(0, 0, -40, 0));
    drawMarker(p, plot.topLeft(), QStringLiteral("上側"), { 10, 4 });
    drawMarker(p, plot.bottomLeft(), QStringLiteral("下側・左側"), { -50, 30 });
    drawMarker(p, QPointF(plot.right() - 40, plot.bottom()), QStringLiteral("右側"), { -12, 30 });
    p.setPen(Qt::black);
    p.drawText(QPointF(plot.left() - 40, plot.bottom() + 5), QStringLiteral("0"));
    p.drawText(QPointF(plot.left() - 40, plot.top() + 5), QStringLiteral("100"));
    p.drawText(QPointF(plot.right() - 50, plot.bottom() + 45), QStringLiteral("50"));
    return image;
}

// The points a trace finds on a line inside the region, as red marks.
void drawTracedPoints(QPainter& p, const QPainterPath& line, const QRectF& region)
{
    p.setPen(QPen(QColor(255, 0, 0), 1));
    for (qreal t = 0; t <= 1.0; t += 0.01) {
        const QPointF at = line.pointAtPercent(t);
        if (region.contains(at) && int(t * 100) % 4 == 0)
            p.drawEllipse(at, 3, 3);
    }
}

// The trace: the rectangle around a part of a line and the points found.
QImage traceSketch()
{
    QImage image = whitePicture(380, 270);
    QPainter p(&image);
    prepare(p);
    const QRect plot(40, 20, 320, 220);
    drawAxes(p, plot);
    const QPainterPath line = curve(plot);
    p.setPen(QPen(Qt::black, 2));
    p.drawPath(line);
    const QRectF region(110, 40, 170, 170);
    p.setPen(QPen(QColor(0, 0, 255), 1, Qt::DashLine));
    p.drawRect(region);
    drawTracedPoints(p, line, region);
    return image;
}

// Tracing by colour: a blue and a red curve cross inside the rectangle; with
// the blue colour chosen only the blue curve's pixels are taken.
QImage colourTraceSketch()
{
    QImage image = whitePicture(380, 270);
    QPainter p(&image);
    prepare(p);
    const QRect plot(40, 20, 320, 220);
    p.setPen(QPen(QColor(215, 215, 215), 1));
    for (int i = 1; i < 5; ++i) {
        p.drawLine(plot.left() + i * plot.width() / 5, plot.top(), plot.left() + i * plot.width() / 5,
            plot.bottom());
        p.drawLine(plot.left(), plot.bottom() - i * plot.height() / 5, plot.right(),
            plot.bottom() - i * plot.height() / 5);
    }
    drawAxes(p, plot);
    const QPainterPath blue = curve(plot);
    QPainterPath red;
    red.moveTo(plot.left() + 10, plot.top() + 30);
    red.cubicTo(plot.left() + 120, plot.top() + 40, plot.left() + 170, plot.bottom() - 10, plot.right() - 10,
        plot.bottom() - 40);
    p.setPen(QPen(QColor(200, 0, 0), 3));
    p.drawPath(red);
    p.setPen(QPen(QColor(0, 70, 220), 3));
    p.drawPath(blue);
    const QRectF region(110, 40, 170, 170);
    p.setPen(QPen(QColor(0, 0, 0), 1, Qt::DashLine));
    p.drawRect(region);
    drawTracedPoints(p, blue, region);
    // The chosen colour, as the colour button shows it.
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor(0, 70, 220));
    p.drawRect(QRectF(300, 3, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.setPen(Qt::black);
    p.drawText(QPointF(318, 15), QStringLiteral("色..."));
    return image;
}

// A small graph: axes, grid lines, a legend and two curves.
void drawSmallGraph(QPainter& p, const QRect& frame)
{
    const QRect plot = frame.adjusted(22, 10, -10, -20);
    p.setPen(QPen(QColor(215, 215, 215), 1));
    for (int i = 1; i < 4; ++i)
        p.drawLine(plot.left(), plot.bottom() - i * plot.height() / 4, plot.right(),
            plot.bottom() - i * plot.height() / 4);
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    QPainterPath line;
    line.moveTo(plot.left() + 4, plot.bottom() - 6);
    line.cubicTo(plot.left() + plot.width() * 0.4, plot.top() - 10, plot.left() + plot.width() * 0.6,
        plot.bottom(), plot.right() - 4, plot.top() + 12);
    p.setPen(QPen(QColor(200, 0, 0), 2));
    p.drawPath(line);
    p.setPen(QPen(QColor(0, 70, 220), 1));
    p.drawLine(plot.right() - 42, plot.top() + 6, plot.right() - 30, plot.top() + 6);
    p.setPen(Qt::black);
    p.drawText(QPointF(plot.right() - 26, plot.top() + 10), QStringLiteral("A"));
}

void drawArrow(QPainter& p, QPointF from, QPointF to)
{
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.drawLine(from, to);
    const QPointF back = to - QPointF(8, 0);
    p.setBrush(QColor(60, 60, 60));
    p.drawPolygon(QPolygonF({ to, back + QPointF(0, -5), back + QPointF(0, 5) }));
    p.setBrush(Qt::NoBrush);
}

// Transparent parts of a picture become white when it is read.
QImage transparencySketch()
{
    QImage image = whitePicture(380, 170);
    QPainter p(&image);
    prepare(p);
    const QRect left(10, 10, 150, 120);
    for (int y = left.top(); y < left.bottom(); y += 10)
        for (int x = left.left(); x < left.right(); x += 10)
            p.fillRect(QRect(x, y, 10, 10) & left, ((x + y) / 10) % 2 ? QColor(204, 204, 204) : Qt::white);
    drawSmallGraph(p, left);
    const QRect right(220, 10, 150, 120);
    p.setPen(QPen(QColor(160, 160, 160), 1));
    p.drawRect(right);
    drawSmallGraph(p, right);
    drawArrow(p, QPointF(168, 70), QPointF(212, 70));
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 140, 170, 20), Qt::AlignCenter, QStringLiteral("透明な部分のある画像"));
    p.drawText(QRectF(210, 140, 170, 20), Qt::AlignCenter, QStringLiteral("読み込んだ画像"));
    return image;
}

// Pasting a picture: a part of the screen copied to the clipboard becomes
// the picture to read.
QImage pasteSketch()
{
    QImage image = whitePicture(420, 170);
    QPainter p(&image);
    prepare(p);
    // A window of another program showing a graph, part of it selected.
    const QRect window(10, 10, 160, 125);
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.setBrush(QColor(240, 240, 240));
    p.drawRect(window);
    p.fillRect(QRect(window.left() + 1, window.top() + 1, window.width() - 1, 14), QColor(70, 100, 160));
    p.fillRect(window.adjusted(4, 19, -4, -4), Qt::white);
    p.setBrush(Qt::NoBrush);
    const QRect graph = window.adjusted(10, 24, -10, -8);
    drawSmallGraph(p, graph);
    p.setPen(QPen(QColor(0, 128, 0), 1, Qt::DashLine));
    p.drawRect(graph.adjusted(-2, -2, 2, 2));
    drawArrow(p, QPointF(178, 72), QPointF(250, 72));
    p.setPen(Qt::black);
    p.drawText(QRectF(170, 48, 90, 18), Qt::AlignCenter, QStringLiteral("Ctrl+Shift+V"));
    const QRect view(258, 20, 150, 108);
    p.setPen(QPen(QColor(160, 160, 160), 1));
    p.drawRect(view);
    drawSmallGraph(p, view.adjusted(4, 4, -4, -4));
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 142, 180, 20), Qt::AlignCenter, QStringLiteral("画面の一部をコピー"));
    p.drawText(QRectF(248, 142, 170, 20), Qt::AlignCenter, QStringLiteral("画像の貼り付け"));
    return image;
}

int drawPictures(const QString& folder)
{
    for (const char* name : kToolButtons) {
        const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
        if (!cvg::toolIcon(QString::fromLatin1(name)).pixmap(20, 20).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const std::pair<const char*, QImage> sketches[]
        = { { "program.png", cvg::programIcon().pixmap(32, 32).toImage() },
              { "calibration.png", calibrationSketch() }, { "trace.png", traceSketch() },
              { "colourtrace.png", colourTraceSketch() }, { "transparency.png", transparencySketch() },
              { "paste.png", pasteSketch() } };
    for (const auto& [name, image] : sketches) {
        const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name);
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

void collectPages(const std::vector<cvg::HelpEntry>& entries, QStringList& pages)
{
    for (const cvg::HelpEntry& entry : entries) {
        if (!entry.local.isEmpty())
            pages << cvg::chmObjectPath(entry.local.section(QLatin1Char('#'), 0, 0));
        collectPages(entry.children, pages);
    }
}

int checkFile(const QString& path, const QStringList& topics)
{
    const std::unique_ptr<cvg::ChmFile> file = cvg::ChmFile::open(path);
    if (!file) {
        std::fprintf(stderr, "%s cannot be opened as a help file\n", qPrintable(path));
        return 1;
    }
    int faults = 0;
    auto fault = [&faults](const QString& text) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        ++faults;
    };
    if (file->title().isEmpty())
        fault(QStringLiteral("the help file has no title"));
    QStringList pages;
    for (const QString& topic : topics)
        pages << cvg::chmObjectPath(topic);
    for (const QString& sitemap : { file->contentsFile(), file->indexFile() }) {
        if (sitemap.isEmpty()) {
            fault(QStringLiteral("the help file names no contents or no index"));
            continue;
        }
        const std::optional<QByteArray> bytes = file->read(cvg::chmObjectPath(sitemap));
        if (!bytes) {
            fault(sitemap + QStringLiteral(" is missing"));
            continue;
        }
        collectPages(cvg::parseSitemap(cvg::decodeHtml(*bytes)), pages);
    }
    static const QRegularExpression link(
        QStringLiteral(R"re((?:href|src)\s*=\s*"([^"]*)")re"), QRegularExpression::CaseInsensitiveOption);
    QSet<QString> checked;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QString page = pages.at(i);
        if (checked.contains(page.toLower()))
            continue;
        checked.insert(page.toLower());
        const std::optional<QByteArray> bytes = file->read(page);
        if (!bytes) {
            fault(page + QStringLiteral(" is missing"));
            continue;
        }
        if (!page.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive))
            continue;
        const QString text = cvg::decodeHtml(*bytes);
        QUrl base;
        base.setScheme(QStringLiteral("chm"));
        base.setPath(page);
        for (auto it = link.globalMatch(text); it.hasNext();) {
            const QUrl target = base.resolved(QUrl(it.next().captured(1)));
            if (target.scheme() != QLatin1String("chm"))
                continue; // the web and mail addresses are the desktop's
            const QString targetPath = target.path(QUrl::FullyDecoded);
            if (targetPath.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive))
                pages << targetPath;
            else if (!file->contains(targetPath))
                fault(page + QStringLiteral(" shows ") + targetPath + QStringLiteral(", which is missing"));
        }
    }
    return faults == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("pictures"))
        return drawPictures(args.at(2));
    if (args.size() >= 3 && args.at(1) == QLatin1String("check"))
        return checkFile(args.at(2), args.mid(3));
    std::fprintf(stderr, "usage: cvghelp-tool pictures DIR | check FILE TOPIC...\n");
    return 2;
}
