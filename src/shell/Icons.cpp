#include "shell/Icons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace cvg {

namespace {

constexpr int kSize = 20;

void page(QPainter& p, const QColor& fill = Qt::white)
{
    QPainterPath path;
    path.moveTo(4, 2);
    path.lineTo(12, 2);
    path.lineTo(16, 6);
    path.lineTo(16, 18);
    path.lineTo(4, 18);
    path.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(fill);
    p.drawPath(path);
    p.drawLine(12, 2, 12, 6);
    p.drawLine(12, 6, 16, 6);
}

void folder(QPainter& p)
{
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(2, 6, 15, 11);
    p.drawRect(2, 4, 6, 2);
}

void disk(QPainter& p)
{
    p.setPen(QPen(QColor(20, 40, 100), 1));
    p.setBrush(QColor(60, 100, 200));
    p.drawRect(3, 3, 14, 14);
    p.setBrush(Qt::white);
    p.drawRect(6, 3, 8, 5);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(6, 11, 8, 6);
}

void grid(QPainter& p)
{
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(3, 3, 14, 14);
    for (int i = 7; i < 17; i += 4) {
        p.drawLine(3, i, 17, i);
    }
    p.drawLine(8, 3, 8, 17);
}

void letter(QPainter& p, const QString& text, const QColor& color, int pixelSize = 11)
{
    QFont f = p.font();
    f.setPixelSize(pixelSize);
    f.setBold(true);
    p.setFont(f);
    p.setPen(color);
    p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, text);
}

void curve(QPainter& p, const QColor& color)
{
    QPainterPath path;
    path.moveTo(3, 15);
    path.cubicTo(7, 2, 12, 18, 17, 4);
    p.setPen(QPen(color, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void axes(QPainter& p)
{
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(3, 2, 3, 17);
    p.drawLine(3, 17, 18, 17);
}

void arrow(QPainter& p, bool up)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 120, 30));
    QPolygon tri;
    if (up)
        tri << QPoint(10, 3) << QPoint(16, 10) << QPoint(4, 10);
    else
        tri << QPoint(10, 17) << QPoint(16, 10) << QPoint(4, 10);
    p.drawPolygon(tri);
    p.setPen(QPen(QColor(30, 120, 30), 2));
    p.drawLine(4, up ? 16 : 4, 16, up ? 16 : 4);
}

void undoArrow(QPainter& p, bool redo)
{
    QPainterPath path;
    if (!redo) {
        path.moveTo(15, 15);
        path.cubicTo(17, 6, 8, 4, 5, 9);
    } else {
        path.moveTo(5, 15);
        path.cubicTo(3, 6, 12, 4, 15, 9);
    }
    p.setPen(QPen(QColor(30, 60, 150), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 60, 150));
    QPolygon head;
    if (!redo)
        head << QPoint(2, 6) << QPoint(8, 6) << QPoint(4, 12);
    else
        head << QPoint(18, 6) << QPoint(12, 6) << QPoint(16, 12);
    p.drawPolygon(head);
}

void drawIcon(QPainter& p, const QString& n)
{
    if (n == QLatin1String("ProgramInitialozation")) {
        page(p);
    } else if (n == QLatin1String("PublicLoadFile")) {
        folder(p);
    } else if (n == QLatin1String("PublicSaveFile")) {
        disk(p);
    } else if (n == QLatin1String("SaveWorkSheetAsText")) {
        page(p);
        letter(p, QStringLiteral("T"), QColor(30, 60, 150), 9);
    } else if (n == QLatin1String("acImageMagnification")) {
        p.setPen(QPen(QColor(40, 40, 40), 2));
        p.setBrush(QColor(200, 230, 255));
        p.drawEllipse(3, 3, 10, 10);
        p.drawLine(12, 12, 17, 17);
    } else if (n == QLatin1String("acDeformationData")) {
        axes(p);
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(10, 5, 10, 15);
        p.drawLine(5, 10, 15, 10);
    } else if (n == QLatin1String("DoDataCovert")) {
        axes(p);
        p.setPen(QPen(QColor(0, 128, 0), 1));
        p.setBrush(QColor(0, 255, 0));
        p.drawRect(8, 7, 5, 5);
    } else if (n == QLatin1String("ShowTraceWindow")) {
        axes(p);
        curve(p, Qt::red);
    } else if (n == QLatin1String("AddNewSheet")) {
        grid(p);
        letter(p, QStringLiteral("+"), QColor(0, 140, 0), 14);
    } else if (n == QLatin1String("InsertNewSheet")) {
        grid(p);
        letter(p, QStringLiteral("I"), QColor(0, 100, 200), 12);
    } else if (n == QLatin1String("DeleteSheet")) {
        grid(p);
        letter(p, QStringLiteral("×"), QColor(200, 0, 0), 14);
    } else if (n == QLatin1String("GotoTop")) {
        arrow(p, true);
    } else if (n == QLatin1String("GotoEnd")) {
        arrow(p, false);
    } else if (n == QLatin1String("SheetDataToClipboard")) {
        p.setPen(QPen(QColor(90, 60, 20), 1));
        p.setBrush(QColor(210, 170, 100));
        p.drawRect(4, 3, 12, 15);
        p.setBrush(Qt::white);
        p.drawRect(6, 6, 8, 10);
        p.setBrush(QColor(150, 150, 150));
        p.drawRect(7, 2, 6, 3);
    } else if (n == QLatin1String("EditData")) {
        grid(p);
        p.setPen(QPen(QColor(200, 0, 0), 2));
        p.drawLine(9, 15, 17, 5);
    } else if (n == QLatin1String("DataSort")) {
        letter(p, QStringLiteral("A"), QColor(30, 30, 30), 8);
        p.setPen(QPen(QColor(30, 60, 150), 2));
        p.drawLine(15, 3, 15, 17);
        p.drawLine(12, 14, 15, 17);
        p.drawLine(18, 14, 15, 17);
    } else if (n == QLatin1String("DataCut")) {
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.drawLine(6, 3, 13, 13);
        p.drawLine(14, 3, 7, 13);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(3, 13, 5, 5);
        p.drawEllipse(12, 13, 5, 5);
    } else if (n == QLatin1String("DataCopy")) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(3, 3, 9, 11);
        p.drawRect(8, 7, 9, 11);
    } else if (n == QLatin1String("DataPaste")) {
        p.setPen(QPen(QColor(90, 60, 20), 1));
        p.setBrush(QColor(210, 170, 100));
        p.drawRect(3, 3, 11, 14);
        p.setBrush(Qt::white);
        p.drawRect(9, 8, 8, 10);
    } else if (n == QLatin1String("DataAllDelete")) {
        grid(p);
        p.setPen(QPen(QColor(200, 0, 0), 2));
        p.drawLine(3, 3, 17, 17);
        p.drawLine(17, 3, 3, 17);
    } else if (n == QLatin1String("DataUndo")) {
        undoArrow(p, false);
    } else if (n == QLatin1String("DataRedo")) {
        undoArrow(p, true);
    } else if (n == QLatin1String("acLinerInterpolation")) {
        axes(p);
        p.setPen(QPen(QColor(30, 60, 150), 2));
        p.drawLine(4, 15, 10, 7);
        p.drawLine(10, 7, 17, 11);
    } else if (n == QLatin1String("acSquareInterpolate")) {
        axes(p);
        curve(p, QColor(30, 60, 150));
    } else if (n == QLatin1String("ShowScopeWindow")) {
        p.setPen(QPen(QColor(40, 40, 40), 1));
        p.setBrush(Qt::white);
        p.drawRect(2, 2, 16, 16);
        p.setPen(QPen(QColor(255, 128, 128), 1));
        p.drawLine(2, 10, 18, 10);
        p.drawLine(10, 2, 10, 18);
    } else if (n == QLatin1String("ImageWindow")) {
        p.setPen(QPen(QColor(40, 40, 40), 1));
        p.setBrush(QColor(220, 220, 220));
        p.drawRect(2, 3, 16, 14);
        p.setPen(QPen(Qt::red, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(5, 6, 7, 6);
    } else if (n == QLatin1String("SheetConfigulation")) {
        grid(p);
        letter(p, QStringLiteral("S"), QColor(120, 60, 0), 10);
    } else if (n == QLatin1String("DirectoryConfigulation")) {
        folder(p);
        letter(p, QStringLiteral("D"), QColor(80, 50, 0), 9);
    } else if (n == QLatin1String("acHelp")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 90, 200));
        p.drawEllipse(2, 2, 16, 16);
        letter(p, QStringLiteral("?"), Qt::white, 13);
    } else if (n.startsWith(QLatin1String("acZoom"))) {
        // A magnifying glass with +, -, a frame or 1 in its lens.
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.drawLine(12, 12, 18, 18);
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.setBrush(QColor(225, 240, 255));
        p.drawEllipse(QPointF(8.5, 8.5), 6.5, 6.5);
        p.setPen(QPen(QColor(20, 60, 160), 1.5));
        const QString kind = n.mid(6);
        if (kind == QLatin1String("In") || kind == QLatin1String("Out"))
            p.drawLine(QPointF(5.5, 8.5), QPointF(11.5, 8.5));
        if (kind == QLatin1String("In"))
            p.drawLine(QPointF(8.5, 5.5), QPointF(8.5, 11.5));
        if (kind == QLatin1String("Fit"))
            p.drawRect(QRectF(5.5, 5.5, 6, 6));
        if (kind == QLatin1String("Actual")) {
            QFont f = p.font();
            f.setPixelSize(9);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRectF(2, 2, 13, 13), Qt::AlignCenter, QStringLiteral("1"));
        }
    } else {
        letter(p, n.left(1), Qt::black);
    }
}

} // namespace

QIcon toolIcon(const QString& actionName)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    drawIcon(p, actionName);
    p.end();
    return QIcon(pixmap);
}

QPixmap splashPicture()
{
    QPixmap pixmap(293, 230);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    // A small graph with picked points.
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(40, 180, 260, 180);
    p.drawLine(40, 180, 40, 40);
    QPainterPath path;
    path.moveTo(45, 170);
    path.cubicTo(100, 40, 170, 200, 255, 60);
    p.setPen(QPen(QColor(250, 0, 0), 2));
    p.drawPath(path);
    p.setPen(QPen(QColor(0, 128, 0), 1));
    p.setBrush(QColor(0, 255, 0));
    for (qreal t : {0.1, 0.3, 0.5, 0.7, 0.9}) {
        const QPointF pt = path.pointAtPercent(t);
        p.drawRect(QRectF(pt.x() - 3, pt.y() - 3, 7, 7));
    }
    QFont f = p.font();
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(20, 40, 120));
    p.drawText(QRect(0, 195, 293, 30), Qt::AlignCenter, QStringLiteral("Curvegleaner32"));
    p.end();
    return pixmap;
}

QImage programIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    // Drawn on a 32 x 32 grid, scaled to the size asked for.
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(1, 1, 30, 30, 4, 4);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(6, 26, 27, 26);
    p.drawLine(6, 26, 6, 5);
    QPainterPath path;
    path.moveTo(7, 24);
    path.cubicTo(13, 4, 20, 28, 27, 8);
    p.setPen(QPen(QColor(250, 0, 0), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.end();
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : { 16, 24, 32, 48, 64, 128, 256 })
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}

} // namespace cvg
