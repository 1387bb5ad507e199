// Text output of the metafile canvas.
#include "image/metafile/Canvas.h"

#include "image/metafile/Geometry.h"

#include <QFont>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace cvg::metafile {

namespace {

// Japanese faces common in these files and the installed faces that
// stand in for them; other faces are left to the font configuration.
QString japaneseSubstitute(const QString& face)
{
    const QString n = face.normalized(QString::NormalizationForm_KC).toCaseFolded().remove(QLatin1Char(' '));
    const bool gothic = n.contains(QStringLiteral("ゴシック")) || n.contains(QStringLiteral("gothic"))
        || n.contains(QStringLiteral("メイリオ")) || n.contains(QStringLiteral("meiryo"));
    const bool mincho = n.contains(QStringLiteral("明朝")) || n.contains(QStringLiteral("mincho"));
    if (!gothic && !mincho)
        return QString();
    // The proportional variants carry a P before the style name.
    const bool proportional = n.contains(QStringLiteral("pゴシック")) || n.contains(QStringLiteral("pgothic"))
        || n.contains(QStringLiteral("p明朝")) || n.contains(QStringLiteral("pmincho"))
        || n.contains(QStringLiteral("メイリオ")) || n.contains(QStringLiteral("meiryo"));
    if (mincho)
        return proportional ? QStringLiteral("IPAPMincho") : QStringLiteral("IPAMincho");
    return proportional ? QStringLiteral("IPAPGothic") : QStringLiteral("IPAGothic");
}

QFont::StyleHint styleHint(const Font& f, const QString& face)
{
    const QString n = face.toCaseFolded();
    if (n.contains(QStringLiteral("courier")) || n.contains(QStringLiteral("mono")))
        return QFont::TypeWriter;
    if (n.contains(QStringLiteral("times")) || n.contains(QStringLiteral("century"))
        || n.contains(QStringLiteral("roman")) || n.contains(QStringLiteral("serif")))
        return QFont::Serif;
    switch (f.pitchAndFamily & 0xF0) {
    case 0x10:
        return QFont::Serif;
    case 0x30:
        return QFont::TypeWriter;
    case 0x40:
        return QFont::Cursive;
    case 0x50:
        return QFont::Decorative;
    default:
        return QFont::SansSerif;
    }
}

QFont makeFont(const Font& f, int pixelSize)
{
    QString face = f.faceName.trimmed();
    if (face.startsWith(QLatin1Char('@'))) // vertical-writing variant of a face
        face.remove(0, 1);
    QStringList families;
    const QString substitute = japaneseSubstitute(face);
    if (!substitute.isEmpty())
        families << substitute;
    else if (!face.isEmpty())
        families << face;
    if (f.charSet == kShiftJisCharset || !substitute.isEmpty())
        families << QStringLiteral("IPAPGothic") << QStringLiteral("IPAGothic")
                 << QStringLiteral("Noto Sans CJK JP");
    QFont font;
    if (!families.isEmpty())
        font.setFamilies(families);
    font.setStyleHint(styleHint(f, face));
    font.setPixelSize(pixelSize);
    const int weight = f.weight <= 0 ? 400 : std::clamp(int(f.weight), 100, 900);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    font.setKerning(false);
    return font;
}

// One drawn character: a code point (one or two UTF-16 units) and where its
// origin lies along the baseline from the reference point.
struct Glyph {
    QString text;
    double x;
};

} // namespace

QTransform Canvas::textFrame(QPointF reference, double& pixelSize, double& advanceScale) const
{
    const QTransform& t = full();
    const QPointF origin = t.map(reference);
    const double m11 = t.m11();
    const double m12 = t.m12();
    const double m21 = t.m21();
    const double m22 = t.m22();
    const double total = std::abs(m11) + std::abs(m12) + std::abs(m21) + std::abs(m22);
    double angle = 0;
    double sx = 0;
    double sy = 0;
    if (std::abs(m12) <= 1e-9 * total && std::abs(m21) <= 1e-9 * total) {
        // Text stays upright under mirroring mappings, as it does on paper.
        sx = std::abs(m11);
        sy = std::abs(m22);
    } else {
        angle = std::atan2(m12, m11) * 180.0 / std::numbers::pi;
        sx = std::hypot(m11, m12);
        sy = sx > 0 ? std::abs(m11 * m22 - m12 * m21) / sx : 0;
    }
    angle -= state_.font.escapement / 10.0;
    const Font& f = state_.font;
    if (f.height != 0)
        pixelSize = std::abs(double(f.height)) * sy;
    else
        pixelSize = 12.0 * std::abs(deviceToPicture_.m22()); // the platform's default size
    advanceScale = sx;
    QTransform frame;
    frame.translate(origin.x(), origin.y());
    frame.rotate(std::isfinite(angle) ? angle : 0.0);
    return frame;
}

void Canvas::textOut(QPointF reference, const QString& text, const std::vector<double>& dx, uint32_t options,
    const QRectF* rect)
{
    if (failed_)
        return;
    const bool updateCp = state_.textAlign & kTaUpdateCp;
    if (updateCp)
        reference = state_.currentPosition;

    QPainterPath rectPath;
    if (rect) {
        const QRectF n = rect->normalized();
        QPolygonF device = toPicture(QPolygonF(n));
        for (QPointF& p : device)
            p = QPointF(std::nearbyint(p.x()), std::nearbyint(p.y()));
        rectPath.addPolygon(device);
        rectPath.closeSubpath();
        if ((options & kEtoOpaque) && !inPath_ && n.width() > 0 && n.height() > 0)
            fillDeviceWith(rectPath, QBrush(QColor(state_.bkColor)), QPainter::CompositionMode_SourceOver);
    }
    // Glyph indices belong to the producer's font and mean nothing here.
    if (text.isEmpty() || (options & kEtoGlyphIndex))
        return;

    double pixelSize = 0;
    double advanceScale = 0;
    const QTransform frame = textFrame(reference, pixelSize, advanceScale);
    if (!isFinite(frame.map(QPointF(0, 0))) || !std::isfinite(pixelSize) || !std::isfinite(advanceScale))
        return;
    const double cap = std::min(2.0 * std::max(picture_.width(), picture_.height()) + 64, 8192.0);
    pixelSize = std::min(pixelSize, cap);
    const int pixels = int(std::lround(pixelSize));
    if (pixels < 1)
        return;
    QFont font = makeFont(state_.font, pixels);
    if (state_.font.height > 0) {
        // A positive height is the cell height: the character height is the
        // part of it without the internal leading.
        const QFontMetricsF m(font);
        const double cell = m.ascent() + m.descent();
        if (cell > 0) {
            const int em = int(std::lround(pixelSize * pixelSize / cell));
            if (em < 1)
                return;
            font.setPixelSize(em);
        }
    }
    const QFontMetricsF metrics(font);

    // Characters and their origins along the baseline.
    const size_t units = size_t(text.size());
    const double side = std::max(picture_.width(), picture_.height());
    if (!charge(double(units) * (64.0 + std::min(pixelSize * pixelSize, side * side))))
        return;
    const size_t step = (options & kEtoPdy) ? 2 : 1;
    const bool useDx = !dx.empty() && dx.size() >= units * step;
    const double extra = state_.charExtra * advanceScale;
    std::vector<Glyph> glyphs;
    double x = 0;
    for (size_t i = 0; i < units;) {
        const size_t len = (text.at(qsizetype(i)).isHighSurrogate() && i + 1 < units) ? 2 : 1;
        const QString ch = text.mid(qsizetype(i), qsizetype(len));
        glyphs.push_back({ ch, x });
        if (useDx) {
            double advance = 0;
            for (size_t k = 0; k < len; ++k)
                advance += dx[(i + k) * step];
            x += std::clamp(advance * advanceScale, -cap * 4, cap * 4);
        } else {
            x += metrics.horizontalAdvance(ch) + extra;
        }
        i += len;
    }
    const double width = x;

    double hx = 0;
    switch (state_.textAlign & kTaHorizontalMask) {
    case kTaCenter:
        hx = -width / 2;
        break;
    case kTaRight:
        hx = -width;
        break;
    default:
        break;
    }
    double baseline = 0;
    switch (state_.textAlign & kTaVerticalMask) {
    case kTaBaseline:
        break;
    case kTaBottom:
        baseline = -metrics.descent();
        break;
    default:
        baseline = metrics.ascent();
        break;
    }

    if (updateCp) {
        // The current position moves along the baseline past the text.
        const double along = (state_.textAlign & kTaHorizontalMask) == kTaCenter ? 0
            : (state_.textAlign & kTaHorizontalMask) == kTaRight                 ? -width
                                                                                 : width;
        bool invertible = false;
        const QTransform inverse = full().inverted(&invertible);
        const QPointF next = invertible ? inverse.map(frame.map(QPointF(along, 0))) : reference;
        if (isFinite(next))
            state_.currentPosition = next;
    }

    if (inPath_) {
        QPainterPath outline;
        for (const Glyph& g : glyphs)
            outline.addText(QPointF(hx + g.x, baseline), font, g.text);
        addToPath(frame.map(outline), true);
        return;
    }
    // Nothing to draw when the whole line lies far outside the picture.
    const QRectF local(hx - pixelSize, baseline - metrics.ascent() - pixelSize,
        std::abs(width) + 2 * pixelSize, metrics.ascent() + metrics.descent() + 2 * pixelSize);
    if (!frame.mapRect(local).intersects(pictureRect_))
        return;
    if (!beginDraw())
        return;
    if ((options & kEtoClipped) && rect) {
        painter_->setClipPath(boundedPath(rectPath, limitBox_, true), Qt::IntersectClip);
        clipApplied_ = false; // the next drawing sets the plain clip again
    }
    painter_->setTransform(frame);
    if (state_.bkMode == 2) {
        const QRectF cell(hx, baseline - metrics.ascent(), width, metrics.ascent() + metrics.descent());
        painter_->fillRect(cell.normalized(), QColor(state_.bkColor));
    }
    painter_->setFont(font);
    painter_->setPen(QColor(state_.textColor));
    if (!useDx && state_.charExtra == 0) {
        // Without spacing from the file the text is laid out as one line.
        QString whole;
        for (const Glyph& g : glyphs)
            whole += g.text;
        painter_->drawText(QPointF(hx, baseline), whole);
    } else {
        for (const Glyph& g : glyphs)
            painter_->drawText(QPointF(hx + g.x, baseline), g.text);
    }
    painter_->setTransform(QTransform());
}

} // namespace cvg::metafile
