#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <algorithm>
#include <cmath>

namespace cvg {

// The main view's zoom: how picture pixels lie on the view and how a view
// position goes back to a picture pixel. Every mapping between the two goes
// through here, so that what is drawn at a view pixel and what a click there
// picks are always the same picture pixel. At factor 1 both ways are the
// identity.
class ViewScale {
public:
    static constexpr double kMinimum = 0.1;
    static constexpr double kMaximum = 16.0;

    ViewScale() = default;
    explicit ViewScale(double factor) : factor_(std::clamp(factor, kMinimum, kMaximum)) { }

    double factor() const { return factor_; }
    bool isOne() const { return factor_ == 1.0; }

    // The picture pixel shown at view pixel v: the one whose area holds the
    // view pixel's centre.
    int toPixel(int v) const { return int(std::floor((double(v) + 0.5) / factor_)); }
    QPoint toPixel(QPoint v) const { return {toPixel(v.x()), toPixel(v.y())}; }
    // A mouse position (possibly between device pixels) goes by the view
    // pixel it falls in.
    QPoint toPixel(QPointF v) const
    {
        return toPixel(QPoint(int(std::floor(v.x())), int(std::floor(v.y()))));
    }

    // The view pixel at the centre of picture pixel p; toPixel(toView(p)) is
    // p again whenever the factor is 1 or more.
    int toView(int p) const { return int(std::floor((double(p) + 0.5) * factor_)); }
    QPoint toView(QPoint p) const { return {toView(p.x()), toView(p.y())}; }

    // The view's extent for a picture side: every view pixel that shows a
    // picture pixel (those whose centre lies on the picture).
    int viewLength(int pictureLength) const
    {
        if (pictureLength <= 0)
            return 0;
        return std::max(0, int(std::ceil(double(pictureLength) * factor_ - 0.5)));
    }
    QSize viewSize(QSize picture) const { return {viewLength(picture.width()), viewLength(picture.height())}; }

    bool operator==(const ViewScale&) const = default;

private:
    double factor_ = 1.0;
};

} // namespace cvg
