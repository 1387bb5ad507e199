#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

namespace cvg {

// Shows one picture at its natural size (imImage). Only the exposed part is
// painted, so huge pictures scroll smoothly.
class TPictureView : public QWidget {
    Q_OBJECT
public:
    explicit TPictureView(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    QImage& mutablePicture() { return picture_; }
    // Repaints a part after the picture was drawn on in place.
    void pictureChanged(const QRect& area) { update(area); }
    QSize sizeHint() const override { return picture_.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

// A transparent surface laid over the picture that takes the mouse (pbPaint,
// pbGraph). The owner supplies the painting and the mouse handling.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);
    std::function<void(QPainter&)> onPaint;
    // The owner's own pop-up; returns false to leave the request to the
    // picture area's menu.
    std::function<bool(const QPoint& globalPos)> onContextMenu;

Q_SIGNALS:
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { Q_EMIT mousePressed(event); }
    void mouseMoveEvent(QMouseEvent* event) override { Q_EMIT mouseMoved(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { Q_EMIT mouseReleased(event); }
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace cvg
