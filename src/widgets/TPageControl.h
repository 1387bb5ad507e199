#pragma once

#include <QTabBar>
#include <QTabWidget>
#include <vector>

namespace cvg {

// A tab bar that can wrap its tabs into several rows (columns for tabs on a
// side). The rows are filled in tab order and stretched to the full width;
// the row holding the current tab always stands next to the page, the others
// keep their turn behind it. With one row it is Qt's own bar, scrolling.
class TPageTabBar final : public QTabBar {
    Q_OBJECT
public:
    explicit TPageTabBar(QWidget* parent = nullptr);

    void setMultiRow(bool on);
    bool multiRow() const { return multiRow_; }
    // The thickness of one row of tabs (the tab height; the width of a
    // column for tabs on a side). 0 leaves it to the style.
    void setRowThickness(int pixels);

    // How many rows the tabs take now, and where a tab is drawn.
    int rowCount() const;
    QRect pageTabRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    QSize tabSizeHint(int index) const override;

private:
    bool vertical() const;
    // The length the rows may fill: the width of the tab widget for tabs on
    // top or bottom, its height for tabs on a side.
    int lineLength() const;
    int thickness() const;
    // The row of every tab, and the tabs' lengths in their rows.
    struct Layout {
        std::vector<int> rowOf;
        std::vector<int> start;
        std::vector<int> length;
        int rows = 0;
    };
    Layout computeLayout(int length) const;
    int tabAtPoint(const QPoint& pos) const;

    bool multiRow_ = false;
    int rowThickness_ = 0;
    int hovered_ = -1;
};

// The worksheet pages' tab control: a tab widget whose bar is a TPageTabBar.
class TPageControl final : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);
    TPageTabBar* pageTabBar() const { return bar_; }

private:
    TPageTabBar* bar_ = nullptr;
};

} // namespace cvg
