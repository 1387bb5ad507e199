#include "widgets/TPageControl.h"

#include <QMouseEvent>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <algorithm>

namespace cvg {

namespace {

constexpr int kTextPadding = 16;

QString visibleText(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

TPageTabBar::TPageTabBar(QWidget* parent) : QTabBar(parent)
{
    setMouseTracking(true);
}

void TPageTabBar::setMultiRow(bool on)
{
    if (multiRow_ == on)
        return;
    multiRow_ = on;
    setUsesScrollButtons(!on);
    hovered_ = -1;
    updateGeometry();
    update();
}

void TPageTabBar::setRowThickness(int pixels)
{
    rowThickness_ = std::max(0, pixels);
    updateGeometry();
    update();
}

bool TPageTabBar::vertical() const
{
    return shape() == RoundedWest || shape() == RoundedEast || shape() == TriangularWest
        || shape() == TriangularEast;
}

int TPageTabBar::thickness() const
{
    return rowThickness_ > 0 ? rowThickness_ : fontMetrics().height() + 8;
}

int TPageTabBar::lineLength() const
{
    const QWidget* owner = parentWidget();
    const int length = owner ? (vertical() ? owner->height() : owner->width()) : (vertical() ? height() : width());
    return std::max(length, 1);
}

TPageTabBar::Layout TPageTabBar::computeLayout(int length) const
{
    Layout layout;
    const int n = count();
    layout.rowOf.assign(size_t(n), 0);
    layout.start.assign(size_t(n), 0);
    layout.length.assign(size_t(n), 0);
    if (n == 0)
        return layout;
    const QFontMetrics metrics(font());
    // Fill rows in tab order; a tab longer than the row gets a row of its own.
    std::vector<int> natural(static_cast<size_t>(n));
    int row = 0, used = 0;
    for (int i = 0; i < n; ++i) {
        natural[size_t(i)] = std::min(length, metrics.horizontalAdvance(visibleText(tabText(i))) + kTextPadding);
        if (used > 0 && used + natural[size_t(i)] > length) {
            ++row;
            used = 0;
        }
        layout.rowOf[size_t(i)] = row;
        used += natural[size_t(i)];
    }
    layout.rows = row + 1;
    // Each row is stretched over the whole length, the spare pixels shared out.
    for (int r = 0, first = 0; r < layout.rows; ++r) {
        int last = first;
        int sum = 0;
        while (last < n && layout.rowOf[size_t(last)] == r)
            sum += natural[size_t(last++)];
        const int tabs = last - first;
        const int spare = std::max(0, length - sum);
        int at = 0;
        for (int i = first; i < last; ++i) {
            const int k = i - first;
            const int extra = spare / tabs + (k < spare % tabs ? 1 : 0);
            layout.start[size_t(i)] = at;
            layout.length[size_t(i)] = natural[size_t(i)] + extra;
            at += layout.length[size_t(i)];
        }
        first = last;
    }
    return layout;
}

int TPageTabBar::rowCount() const
{
    return multiRow_ ? std::max(1, computeLayout(vertical() ? height() : width()).rows) : 1;
}

QRect TPageTabBar::pageTabRect(int index) const
{
    if (!multiRow_)
        return tabRect(index);
    if (index < 0 || index >= count())
        return QRect();
    const Layout layout = computeLayout(vertical() ? height() : width());
    const int n = layout.rows;
    const int current = currentIndex() >= 0 ? layout.rowOf[size_t(currentIndex())] : 0;
    // Position 0 is the farthest from the page, n - 1 the row next to it.
    const int position = ((layout.rowOf[size_t(index)] - current - 1) % n + n) % n;
    const int t = thickness();
    const bool pageFirst = shape() == RoundedSouth || shape() == TriangularSouth || shape() == RoundedEast
        || shape() == TriangularEast;
    const int offset = (pageFirst ? n - 1 - position : position) * t;
    const int start = layout.start[size_t(index)];
    const int length = layout.length[size_t(index)];
    return vertical() ? QRect(offset, start, t, length) : QRect(start, offset, length, t);
}

QSize TPageTabBar::sizeHint() const
{
    if (!multiRow_)
        return QTabBar::sizeHint();
    const int length = lineLength();
    const int rows = std::max(1, computeLayout(length).rows);
    return vertical() ? QSize(rows * thickness(), length) : QSize(length, rows * thickness());
}

QSize TPageTabBar::minimumSizeHint() const
{
    return multiRow_ ? sizeHint() : QTabBar::minimumSizeHint();
}

QSize TPageTabBar::tabSizeHint(int index) const
{
    const QSize size = QTabBar::tabSizeHint(index);
    if (multiRow_ || rowThickness_ <= 0)
        return size;
    return vertical() ? QSize(rowThickness_, size.height()) : QSize(size.width(), rowThickness_);
}

int TPageTabBar::tabAtPoint(const QPoint& pos) const
{
    for (int i = 0; i < count(); ++i)
        if (pageTabRect(i).contains(pos))
            return i;
    return -1;
}

void TPageTabBar::paintEvent(QPaintEvent* event)
{
    if (!multiRow_) {
        QTabBar::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    // The current tab last, so it stands over its neighbours.
    auto paintTab = [&](int i) {
        QStyleOptionTab option;
        initStyleOption(&option, i);
        option.rect = pageTabRect(i);
        option.state.setFlag(QStyle::State_Selected, i == currentIndex());
        option.state.setFlag(QStyle::State_MouseOver, i == hovered_);
        painter.drawControl(QStyle::CE_TabBarTab, option);
    };
    for (int i = 0; i < count(); ++i)
        if (i != currentIndex())
            paintTab(i);
    if (currentIndex() >= 0)
        paintTab(currentIndex());
}

void TPageTabBar::mousePressEvent(QMouseEvent* event)
{
    if (!multiRow_) {
        QTabBar::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        const int index = tabAtPoint(event->position().toPoint());
        if (index >= 0 && isTabEnabled(index))
            setCurrentIndex(index);
    }
    event->accept();
}

void TPageTabBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!multiRow_) {
        QTabBar::mouseMoveEvent(event);
        return;
    }
    const int index = tabAtPoint(event->position().toPoint());
    if (index != hovered_) {
        hovered_ = index;
        update();
    }
}

void TPageTabBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (!multiRow_)
        QTabBar::mouseReleaseEvent(event);
}

void TPageTabBar::leaveEvent(QEvent* event)
{
    hovered_ = -1;
    update();
    QTabBar::leaveEvent(event);
}

void TPageTabBar::resizeEvent(QResizeEvent* event)
{
    QTabBar::resizeEvent(event);
    // The rows follow the width the tab widget gave; a count that differs
    // from the one asked for makes it lay the bar out again.
    if (multiRow_ && rowCount() * thickness() != (vertical() ? width() : height()))
        updateGeometry();
}

bool TPageTabBar::event(QEvent* event)
{
    // Tool tips and hover of Qt's own bar look at its single-row layout.
    if (multiRow_ && (event->type() == QEvent::HoverMove || event->type() == QEvent::HoverEnter))
        return QWidget::event(event);
    return QTabBar::event(event);
}

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent), bar_(new TPageTabBar(this))
{
    setTabBar(bar_);
}

} // namespace cvg
