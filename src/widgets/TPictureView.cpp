#include "widgets/TPictureView.h"

#include "image/ImageSet.h"
#include "platform/Progress.h"
#include "worksheet/ZoomedView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

namespace cvg {

TPictureView::TPictureView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(0, 0);
}

void TPictureView::setPicture(const QImage& picture)
{
    NullProgress quiet;
    setMarkedPicture(picture, {}, markerSize_, quiet);
}

void TPictureView::setMarkedPicture(const QImage& base, std::vector<MarkLayer> layers, int markerSize,
                                    Progress& progress)
{
    base_ = base;
    layers_ = std::move(layers);
    markerSize_ = markerSize;
    marked_ = QImage();
    dropCache();
    // At 100 % the marks go into the picture now, as they always did; at
    // other zooms the view draws them, and the marked picture waits until
    // someone asks for it.
    if (scale_.isOne())
        bake(progress);
    resize(scale_.viewSize(base_.size()));
    update();
}

void TPictureView::bake(Progress& progress)
{
    bool any = false;
    for (const MarkLayer& layer : layers_)
        any = any || !layer.points.empty();
    if (!any || base_.isNull()) {
        marked_ = QImage();
        return;
    }
    marked_ = toPictureFormat(base_).copy();
    for (const MarkLayer& layer : layers_)
        drawMarkLayer(marked_, layer.points, layer.joined, markerSize_, layer.colours, progress);
}

const QImage& TPictureView::markedPicture()
{
    if (marked_.isNull()) {
        NullProgress quiet;
        bake(quiet);
    }
    return marked_.isNull() ? base_ : marked_;
}

void TPictureView::addMark(const Point& point, int x, int row, int markerSize)
{
    if (layers_.empty())
        layers_.push_back(MarkLayer{});
    layers_.back().points.push_back(point);
    markerSize_ = markerSize;
    if (!scale_.isOne()) {
        marked_ = QImage();
        dropCache();
        const QPoint at = scale_.toView(QPoint(x, row));
        update(QRect(at.x() - markerSize - 1, at.y() - markerSize - 1, 2 * markerSize + 3, 2 * markerSize + 3));
        return;
    }
    if (marked_.isNull())
        marked_ = toPictureFormat(base_).copy();
    drawGeneralMarker(marked_, x, row, markerSize);
    update(QRect(x - markerSize - 1, row - markerSize - 1, 2 * markerSize + 3, 2 * markerSize + 3));
}

void TPictureView::setScale(const ViewScale& scale)
{
    if (scale == scale_)
        return;
    scale_ = scale;
    dropCache();
    if (scale_.isOne() && marked_.isNull()) {
        NullProgress quiet;
        bake(quiet);
    }
    resize(scale_.viewSize(base_.size()));
    update();
}

void TPictureView::paintEvent(QPaintEvent* event)
{
    if (base_.isNull())
        return;
    QPainter p(this);
    if (scale_.isOne()) {
        const QImage& shown = picture();
        const QRect area = event->rect() & shown.rect();
        p.drawImage(area.topLeft(), shown, area);
        return;
    }
    // The whole visible part is made at once and kept, so the repaints that
    // the paint boxes above cause cost a copy, not a new drawing.
    const QRect wanted = event->rect() & rect();
    if (cache_.isNull() || !cacheArea_.contains(wanted)) {
        const QRect area = (visibleRegion().boundingRect() | wanted) & rect();
        cache_ = renderZoomedView(base_, area, scale_, layers_, markerSize_);
        cacheArea_ = area;
    }
    if (!cache_.isNull())
        p.drawImage(wanted.topLeft(), cache_, wanted.translated(-cacheArea_.topLeft()));
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    // A click gives the picture the keyboard (arrow keys, Delete).
    setFocusPolicy(Qt::ClickFocus);
}

void TPaintBox::paintEvent(QPaintEvent*)
{
    if (!onPaint)
        return;
    QPainter p(this);
    onPaint(p);
}

void TPaintBox::passOn(QMouseEvent* event, void (TPaintBox::*signal)(QMouseEvent*))
{
    if (scale_.isOne()) {
        Q_EMIT(this->*signal)(event);
        return;
    }
    QMouseEvent mapped(event->type(), QPointF(scale_.toPixel(event->position())), event->scenePosition(),
                       event->globalPosition(), event->button(), event->buttons(), event->modifiers(),
                       event->pointingDevice());
    mapped.setTimestamp(event->timestamp());
    Q_EMIT(this->*signal)(&mapped);
    event->setAccepted(mapped.isAccepted());
}

void TPaintBox::mousePressEvent(QMouseEvent* event)
{
    passOn(event, &TPaintBox::mousePressed);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event)
{
    passOn(event, &TPaintBox::mouseMoved);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event)
{
    passOn(event, &TPaintBox::mouseReleased);
}

QPoint TPaintBox::arrowStep(int key)
{
    switch (key) {
    case Qt::Key_Left: return {-1, 0};
    case Qt::Key_Right: return {1, 0};
    case Qt::Key_Up: return {0, 1};
    case Qt::Key_Down: return {0, -1};
    default: return {0, 0};
    }
}

void TPaintBox::keyPressEvent(QKeyEvent* event)
{
    event->ignore();
    Q_EMIT keyPressed(event);
    // Keys the owner leaves go on to the scroll box (it scrolls with them).
    if (!event->isAccepted())
        QWidget::keyPressEvent(event);
}

void TPaintBox::leaveEvent(QEvent* event)
{
    Q_EMIT mouseLeft();
    QWidget::leaveEvent(event);
}

void TPaintBox::contextMenuEvent(QContextMenuEvent* event)
{
    // Unhandled, the request would reach the picture area and open its menu
    // instead of the owner's.
    if (onContextMenu && onContextMenu(event->globalPos()))
        event->accept();
    else
        event->ignore();
}

} // namespace cvg
