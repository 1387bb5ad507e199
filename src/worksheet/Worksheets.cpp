#include "worksheet/Worksheets.h"

#include <algorithm>
#include <stdexcept>

namespace cvg {

Worksheets::Worksheets() { CreateSheetPage(); }

void Worksheets::setCurrentIndex(int index)
{
    if (index >= 0 && index < pageCount())
        current_ = index;
}

int Worksheets::NextPageNumber() const
{
    std::vector<bool> used(pages_.size() + 1, false);
    for (const WorksheetPage& p : pages_)
        if (p.number >= 0 && size_t(p.number) < used.size())
            used[size_t(p.number)] = true;
    int n = 0;
    while (used[size_t(n)])
        ++n;
    return n;
}

bool Worksheets::CreateSheetPage()
{
    try {
        WorksheetPage page;
        page.number = NextPageNumber();
        page.caption = QStringLiteral("Page") + QString::number(page.number);
        pages_.push_back(std::move(page));
        current_ = int(pages_.size()) - 1;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void Worksheets::ResetSheets()
{
    pages_.clear();
    current_ = 0;
    currentRow = 0;
    selectionStart = 0;
    selectionEnd = 0;
    CreateSheetPage();
}

bool Worksheets::InsertSheetPage(int c)
{
    if (c < 0 || c >= pageCount())
        return false;
    if (!CreateSheetPage())
        return false;
    const int last = pageCount() - 1; // the new page
    const QString newCaption = pages_[size_t(last)].caption;
    for (int k = last; k >= c + 2; --k)
        pages_[size_t(k)].caption = pages_[size_t(k - 1)].caption;
    if (c + 1 < last)
        pages_[size_t(c + 1)].caption = newCaption;
    bool moved = false;
    for (int k = last; k >= c + 2; --k) {
        pages_[size_t(k)].points = std::move(pages_[size_t(k - 1)].points);
        pages_[size_t(k - 1)].points.clear();
        moved = true;
    }
    current_ = moved ? c + 2 : last;
    return true;
}

bool Worksheets::DeleteSheetPage(int index)
{
    if (pageCount() <= 1 || index < 0 || index >= pageCount())
        return false;
    pages_.erase(pages_.begin() + index);
    current_ = index < pageCount() ? index : 0;
    return true;
}

void Worksheets::RemoveLastPage()
{
    if (pageCount() <= 1)
        return;
    pages_.pop_back();
    current_ = pageCount() - 1;
}

void Worksheets::insertPage(int index, WorksheetPage page)
{
    index = std::clamp(index, 0, pageCount());
    pages_.insert(pages_.begin() + index, std::move(page));
}

WorksheetPage Worksheets::takePage(int index)
{
    WorksheetPage page = std::move(pages_.at(size_t(index)));
    pages_.erase(pages_.begin() + index);
    current_ = std::clamp(current_, 0, std::max(0, pageCount() - 1));
    return page;
}

int PointCount(const WorksheetPage& page) { return int(page.points.size()); }

const std::vector<Point>& ReadPoints(const WorksheetPage& page) { return page.points; }

bool WritePoints(WorksheetPage& page, std::vector<Point> points)
{
    if (points.size() > size_t(kMaxPoints))
        return false;
    page.points = std::move(points);
    return true;
}

bool AppendPoint(WorksheetPage& page, Point point)
{
    if (page.points.size() >= size_t(kMaxPoints))
        return false;
    page.points.push_back(point);
    return true;
}

namespace {

// Precise positions compare as (whole, rest) pairs: a rest never reaches
// past half a pixel, so a smaller whole pixel is always a smaller position.
bool xBefore(const Point& a, const Point& b)
{
    return a.X != b.X ? a.X < b.X : a.fracX < b.fracX;
}

} // namespace

bool PointBeforeByX(const Point& a, const Point& b)
{
    if (a.X != b.X || a.fracX != b.fracX)
        return xBefore(a, b);
    return a.Y != b.Y ? a.Y < b.Y : a.fracY < b.fracY;
}

bool IsSortedByX(const std::vector<Point>& points)
{
    for (size_t i = 1; i < points.size(); ++i)
        if (xBefore(points[i], points[i - 1]))
            return false;
    return true;
}

bool HasDuplicateX(const std::vector<Point>& points)
{
    for (size_t i = 1; i < points.size(); ++i)
        if (points[i].X == points[i - 1].X)
            return true;
    return false;
}

void SortByX(std::vector<Point>& points)
{
    std::stable_sort(points.begin(), points.end(), PointBeforeByX);
}

} // namespace cvg
