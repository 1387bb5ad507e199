#pragma once

#include "worksheet/Point.h"

#include <QString>
#include <vector>

namespace cvg {

// A page never holds more points than this.
constexpr int kMaxPoints = 1'000'000;

struct WorksheetPage {
    int number = 0;  // unique among the pages, kept for the page's life
    QString caption; // "Page" + number unless renamed
    std::vector<Point> points;
};

// The document's pages and the row selection the editing commands act on.
// The grids on screen are views of this model.
class Worksheets {
public:
    Worksheets();

    int pageCount() const { return int(pages_.size()); }
    int currentIndex() const { return current_; }
    void setCurrentIndex(int index);
    WorksheetPage& page(int index) { return pages_.at(size_t(index)); }
    const WorksheetPage& page(int index) const { return pages_.at(size_t(index)); }
    WorksheetPage& currentPage() { return pages_.at(size_t(current_)); }
    const WorksheetPage& currentPage() const { return pages_.at(size_t(current_)); }

    // The smallest n >= 0 that no page has as its number.
    int NextPageNumber() const;
    // Appends a page "Page" + NextPageNumber() and makes it current.
    bool CreateSheetPage();
    // Removes every page, then creates one empty "Page0".
    void ResetSheets();
    // Places a new empty page right after page c by appending one and moving
    // the captions and point lists of the pages after c one place to the right.
    bool InsertSheetPage(int c);
    // Removes page index; the following page becomes current, or the first
    // when the last was removed. Refused for the only page.
    bool DeleteSheetPage(int index);
    // Removes the page without choosing the following one (used when an
    // interpolated page is not adopted): the page before it becomes current.
    void RemoveLastPage();
    // Puts a page (with its number, caption and points) at index, or takes
    // it out; the current page is left to the caller. Used by the history,
    // which keeps a removed page until it comes back.
    void insertPage(int index, WorksheetPage page);
    WorksheetPage takePage(int index);

    // Row state shared by all pages.
    int currentRow = 0;
    int selectionStart = 0;
    int selectionEnd = 0;

private:
    std::vector<WorksheetPage> pages_;
    int current_ = 0;
};

int PointCount(const WorksheetPage& page);
const std::vector<Point>& ReadPoints(const WorksheetPage& page);
// Replaces the page's list; a list longer than kMaxPoints is refused (false).
bool WritePoints(WorksheetPage& page, std::vector<Point> points);
// Appends one point; refused (false) when the page is full.
bool AppendPoint(WorksheetPage& page, Point point);
// Order by the precise X (for whole-pixel points, by X).
bool IsSortedByX(const std::vector<Point>& points);
// Neighbours with the same whole X, as the grid shows them.
bool HasDuplicateX(const std::vector<Point>& points);
// Ascending precise X, equal X by ascending precise Y; stable.
void SortByX(std::vector<Point>& points);
// The order SortByX sorts by.
bool PointBeforeByX(const Point& a, const Point& b);

} // namespace cvg
