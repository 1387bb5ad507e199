#include "widgets/TLoupe.h"

#include <QPainter>

namespace cvg {

namespace {

constexpr int kSide = TLoupe::kSpan * TLoupe::kMagnification;
constexpr int kGap = 24; // between the cursor and the loupe
const QColor kOutside(128, 128, 128);
const QColor kCrossHair(0, 90, 255);

} // namespace

TLoupe::TLoupe(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("loupe"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(kSide + 2, kSide + kCaptionHeight + 2);
    hide();
}

void TLoupe::showPixel(const QImage& picture, QPoint pixel, const QString& caption, QPoint near)
{
    pixel_ = pixel;
    caption_ = caption;
    // Only the few pixels around the point are taken; those beyond the
    // picture show grey.
    const int half = kSpan / 2;
    patch_ = QImage(kSpan, kSpan, QImage::Format_RGB888);
    patch_.fill(kOutside);
    const QRect wanted(pixel.x() - half, pixel.y() - half, kSpan, kSpan);
    const QRect inside = wanted & picture.rect();
    if (!inside.isEmpty()) {
        QPainter p(&patch_);
        p.drawImage(inside.topLeft() - wanted.topLeft(), picture, inside);
    }
    // Beside the cursor, on whichever side leaves it inside the parent.
    QWidget* area = parentWidget();
    int left = near.x() + kGap, top = near.y() + kGap;
    if (area) {
        if (left + width() > area->width())
            left = near.x() - kGap - width();
        if (top + height() > area->height())
            top = near.y() - kGap - height();
        left = std::max(0, left);
        top = std::max(0, top);
    }
    move(left, top);
    show();
    raise();
    update();
}

void TLoupe::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(Qt::black);
    p.drawRect(0, 0, kSide + 1, kSide + 1);
    p.drawImage(QRect(1, 1, kSide, kSide), patch_);
    // The cross hair leaves the centre pixel itself clear, outlined.
    const int c0 = 1 + (kSpan / 2) * kMagnification;
    const int c1 = c0 + kMagnification;
    const int mid = c0 + kMagnification / 2;
    p.setPen(QPen(kCrossHair, 1));
    p.drawLine(1, mid, c0 - 2, mid);
    p.drawLine(c1 + 1, mid, kSide, mid);
    p.drawLine(mid, 1, mid, c0 - 2);
    p.drawLine(mid, c1 + 1, mid, kSide);
    p.drawRect(c0 - 1, c0 - 1, kMagnification + 1, kMagnification + 1);
    p.setPen(palette().windowText().color());
    p.drawText(QRect(0, kSide + 2, width(), kCaptionHeight), Qt::AlignCenter, caption_);
}

} // namespace cvg
