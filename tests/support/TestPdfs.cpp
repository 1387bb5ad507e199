#include "TestPdfs.h"

#include <QBuffer>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <cmath>

namespace cvg::test {

namespace {

using L = GraphPdfLayout;

// Runs draw(painter, pageIndex) for each page of a PDF whose painter works
// in points from the top-left corner of the page.
template <typename Draw> QByteArray writePdf(QSizeF points, int pages, Draw draw)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(points, QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator(QStringLiteral("Curvegleaner32 tests"));
    QPainter painter(&writer);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        draw(painter, page);
    }
    painter.end();
    return bytes;
}

void drawAxes(QPainter& p, const QString& title)
{
    // Grid first, light, so that the axes and the data lie on top.
    p.setPen(QPen(QColor(200, 200, 200), 0.5));
    for (int i = 1; i <= 4; ++i) {
        const double x = L::kAxisX + i * (L::kAxisRight - L::kAxisX) / 4;
        p.drawLine(QPointF(x, L::kAxisTop), QPointF(x, L::kAxisY));
    }
    p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(L::kAxisX, L::kAxisY), QPointF(L::kAxisRight, L::kAxisY));
    p.drawLine(QPointF(L::kAxisX, L::kAxisY), QPointF(L::kAxisX, L::kAxisTop));
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPointSizeF(9);
    p.setFont(font);
    p.drawText(QPointF(L::kAxisX - 10, L::kAxisY + 14), QStringLiteral("0"));
    p.drawText(QPointF(L::kAxisRight - 8, L::kAxisY + 14), QStringLiteral("10"));
    p.drawText(QPointF(L::kAxisX + 20, L::kAxisY + 34), title);
}

} // namespace

QByteArray graphPdf()
{
    return writePdf(QSizeF(L::kWidth, L::kHeight), 2, [](QPainter& p, int page) {
        if (page == 0) {
            drawAxes(p, QStringLiteral("図1 温度と時間の関係 (Temperature)"));
            QPainterPath curve;
            for (int i = 0; i <= 200; ++i) {
                const double x = L::kAxisX + i * (L::kAxisRight - L::kAxisX) / 200;
                const double y = 140 - 80 * std::sin(i / 200.0 * 6.28);
                if (i == 0)
                    curve.moveTo(x, y);
                else
                    curve.lineTo(x, y);
            }
            p.setPen(QPen(QColor::fromRgb(L::kPage1Colour), 1.2));
            p.drawPath(curve);
            return;
        }
        drawAxes(p, QStringLiteral("図2 圧力 (Pressure)"));
        for (const L::Rule& rule : L::kRules) {
            p.setPen(QPen(Qt::black, rule.width, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(L::kAxisX + 20, rule.y), QPointF(L::kAxisRight - 20, rule.y));
        }
        p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(L::kMarkerX, L::kAxisTop + 10), QPointF(L::kMarkerX, L::kAxisY - 10));
        p.setPen(QPen(QColor::fromRgb(L::kPage2Colour), 2));
        p.drawLine(QPointF(L::kAxisX, L::kAxisY), QPointF(L::kAxisRight, L::kAxisTop));
        // A legend box with a sample of the line.
        p.setPen(QPen(Qt::black, 0.5));
        const QRectF legend(L::kAxisX + 10, L::kAxisTop + 4, 90, 24);
        p.drawRect(legend);
        p.setPen(QPen(QColor::fromRgb(L::kPage2Colour), 2));
        p.drawLine(legend.topLeft() + QPointF(6, 12), legend.topLeft() + QPointF(26, 12));
        p.setPen(Qt::black);
        p.drawText(legend.topLeft() + QPointF(32, 16), QStringLiteral("測定値"));
    });
}

QByteArray manyPagesPdf(int pages)
{
    return writePdf(QSizeF(200, 280), pages, [](QPainter& p, int page) {
        p.setPen(QPen(Qt::black, 2));
        p.drawRect(QRectF(10, 10, 180, 260));
        QFont font(QStringLiteral("IPAPGothic"));
        font.setPointSizeF(60);
        p.setFont(font);
        p.drawText(QRectF(10, 10, 180, 260), Qt::AlignCenter, QString::number(page + 1));
    });
}

QByteArray heavyPdf(int segments)
{
    return writePdf(QSizeF(500, 500), 1, [segments](QPainter& p, int) {
        QPainterPath path;
        path.moveTo(0, 0);
        for (int i = 1; i <= segments; ++i)
            path.lineTo((i * 37) % 500, (i * 91) % 500);
        p.setPen(QPen(Qt::black, 0.3));
        p.drawPath(path);
    });
}

namespace {

// Along a row (horizontal) or a column of the picture.
std::optional<double> darkCentre(const QImage& picture, int fixed, int from, int to, bool horizontal)
{
    const int last = (horizontal ? picture.width() : picture.height()) - 1;
    double sum = 0, weight = 0;
    for (int i = std::max(from, 0); i <= std::min(to, last); ++i) {
        const uchar* p
            = horizontal ? picture.constScanLine(fixed) + 3 * i : picture.constScanLine(i) + 3 * fixed;
        const int dark = 765 - (p[0] + p[1] + p[2]);
        sum += double(dark) * i;
        weight += dark;
    }
    if (weight < 100)
        return std::nullopt;
    return sum / weight;
}

} // namespace

std::optional<double> darkRowCentre(const QImage& picture, int x, int from, int to)
{
    return darkCentre(picture, x, from, to, false);
}

std::optional<double> darkColumnCentre(const QImage& picture, int y, int from, int to)
{
    return darkCentre(picture, y, from, to, true);
}

QByteArray assemblePdf(const QList<QByteArray>& objects, const QByteArray& trailerExtra)
{
    QByteArray pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R " + trailerExtra
        + " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray blankPagePdf(QSizeF points)
{
    const QByteArray box = "[0 0 " + QByteArray::number(points.width(), 'f', 2) + " "
        + QByteArray::number(points.height(), 'f', 2) + "]";
    return assemblePdf({ "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox " + box + " >>" });
}

QByteArray noPagePdf()
{
    return assemblePdf({ "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>" });
}

QByteArray lockedPdf()
{
    // The standard security handler with keys made for a password that is
    // not empty: the empty password does not open it.
    const QByteArray o(32, '\x5A'), u(32, '\xA7');
    return assemblePdf(
        { "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>",
            "<< /Filter /Standard /V 1 /R 2 /O <" + o.toHex() + "> /U <" + u.toHex() + "> /P -44 >>" },
        "/Encrypt 4 0 R /ID [<0123456789ABCDEF0123456789ABCDEF> <0123456789ABCDEF0123456789ABCDEF>]");
}

} // namespace cvg::test
