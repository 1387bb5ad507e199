#pragma once

#include "image/ViewScale.h"
#include "worksheet/PointMarkers.h"

#include <QImage>
#include <QWidget>
#include <functional>
#include <vector>

namespace cvg {

class Progress;

// Shows one picture (imImage), zoomed by its scale. Only the exposed part is
// painted, so huge pictures scroll smoothly and a zoomed picture is never
// made whole. Point marks are kept beside the picture: at 100 % they are
// drawn into a copy of it, pixel for pixel; at any other zoom they are drawn
// on the view at their own size.
class TPictureView : public QWidget {
    Q_OBJECT
public:
    explicit TPictureView(QWidget* parent = nullptr);
    // A picture without marks.
    void setPicture(const QImage& picture);
    // A picture with marks, drawn in layer order (the progress shows while
    // the marks are drawn into the picture).
    void setMarkedPicture(const QImage& base, std::vector<MarkLayer> layers, int markerSize, Progress& progress);
    // One more square (no line) for a point just picked at (x, row).
    void addMark(const Point& point, int x, int row, int markerSize);

    // What a pixel of the picture shows at 100 %: the picture with its marks;
    // at other zooms the picture without them (the marks are on the view only).
    const QImage& picture() const { return scale_.isOne() && !marked_.isNull() ? marked_ : base_; }
    // The picture with its marks drawn at picture scale, at any zoom.
    const QImage& markedPicture();
    QSize pictureSize() const { return base_.size(); }

    const ViewScale& scale() const { return scale_; }
    // Takes a zoom: the view's size follows.
    void setScale(const ViewScale& scale);
    // Repaints a part after the picture was drawn on in place.
    void pictureChanged(const QRect& area) { update(area); }
    QSize sizeHint() const override { return scale_.viewSize(base_.size()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void bake(Progress& progress);
    void dropCache() { cache_ = QImage(); }

    QImage base_;
    QImage marked_; // base_ with the layers drawn; null until needed away from 100 %
    std::vector<MarkLayer> layers_;
    int markerSize_ = 3;
    ViewScale scale_;
    // The last zoomed part drawn, reused while nothing changed.
    QImage cache_;
    QRect cacheArea_;
};

// A transparent surface laid over the picture that takes the mouse (pbPaint,
// pbGraph). The mouse events it passes on carry picture pixels, whatever the
// zoom; the owner paints in view pixels through toView.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);
    std::function<void(QPainter&)> onPaint;
    // The owner's own pop-up; returns false to leave the request to the
    // picture area's menu.
    std::function<bool(const QPoint& globalPos)> onContextMenu;

    void setScale(const ViewScale& scale) { scale_ = scale; }
    const ViewScale& scale() const { return scale_; }
    // The view pixel at the centre of a picture pixel.
    QPoint toView(QPoint pixel) const { return scale_.toView(pixel); }
    // The picture pixel under a position of this box.
    QPoint toPixel(QPointF position) const { return scale_.toPixel(position); }
    // The step an arrow key asks for, in x and upward y (up is a larger y);
    // (0, 0) for any other key.
    static QPoint arrowStep(int key);

Q_SIGNALS:
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);
    void keyPressed(QKeyEvent* event);
    void mouseLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The same event with its position turned into a picture pixel.
    void passOn(QMouseEvent* event, void (TPaintBox::*signal)(QMouseEvent*));
    ViewScale scale_;
};

} // namespace cvg
