#pragma once

#include <QImage>
#include <QWidget>

namespace cvg {

// A magnified view that follows the cursor over the main picture: the pixels
// around one picture pixel, 8 times enlarged, with a cross hair on that pixel
// and its coordinates underneath. It takes no mouse input.
class TLoupe : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMagnification = 8;
    static constexpr int kSpan = 21; // picture pixels across, the centre one in the middle
    static constexpr int kCaptionHeight = 18;

    explicit TLoupe(QWidget* parent);
    // Shows the pixels of picture around `pixel` (x, row) with the caption,
    // placed beside `near` (a position in the parent) and kept inside the
    // parent.
    void showPixel(const QImage& picture, QPoint pixel, const QString& caption, QPoint near);
    QPoint pixel() const { return pixel_; }
    QString caption() const { return caption_; }
    // The enlarged pixels as shown (without cross hair or caption).
    const QImage& patch() const { return patch_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage patch_;
    QString caption_;
    QPoint pixel_;
};

} // namespace cvg
