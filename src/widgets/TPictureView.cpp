#include "widgets/TPictureView.h"

#include <QPaintEvent>
#include <QContextMenuEvent>
#include <QPainter>

namespace cvg {

TPictureView::TPictureView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(0, 0);
}

void TPictureView::setPicture(const QImage& picture)
{
    picture_ = picture;
    resize(picture_.size());
    update();
}

void TPictureView::paintEvent(QPaintEvent* event)
{
    if (picture_.isNull())
        return;
    QPainter p(this);
    const QRect area = event->rect() & picture_.rect();
    p.drawImage(area.topLeft(), picture_, area);
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
}

void TPaintBox::paintEvent(QPaintEvent*)
{
    if (!onPaint)
        return;
    QPainter p(this);
    onPaint(p);
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
