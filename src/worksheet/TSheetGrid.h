#pragma once

#include <QAbstractTableModel>
#include <QTableView>

class QScrollBar;

namespace cvg {

class Worksheets;
struct Calibration;

// The grid's columns: the pixel position as stored, then its converted values.
enum SheetColumn : int { kColumnX = 0, kColumnY = 1, kColumnXValue = 2, kColumnYValue = 3, kSheetColumns = 4 };

// One page's points as a grid of 1,000,000 data rows: nothing is stored per
// row, every cell is computed from the page's point list when it is drawn.
// The vertical header shows the row numbers, the horizontal one "X", "Y" and
// the converted values "X値", "Y値" (of the precise position, by the value
// text rule; empty while the calibration is not accepted).
class TSheetModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    TSheetModel(Worksheets& sheets, const Calibration& calibration, int pageNumber, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The points or the calibration changed: the view redraws what it shows.
    void pointsChanged();
    int pageNumber() const { return pageNumber_; }

private:
    int pageIndex() const;
    Worksheets& sheets_;
    const Calibration& calibration_;
    int pageNumber_;
};

// The grid of one page with its own scroll bar at the right edge (range 1 to
// 1,000,000, page step the rows in view); the view's scroll bars are off.
class TSheetGrid final : public QWidget {
    Q_OBJECT
public:
    TSheetGrid(Worksheets& sheets, const Calibration& calibration, int pageNumber, QWidget* parent);

    QTableView* view() const { return view_; }
    QScrollBar* scrollBar() const { return scrollBar_; }
    TSheetModel* model() const { return model_; }
    // 1-based data row of the view's current index (0 when none).
    int currentRow() const;
    // Makes a data row current and scrolls it into view.
    void setCurrentRow(int row);
    int rowsInView() const;
    void layoutGrid(int rowHeight);
    // The grid's text size for a row height: the base font, made smaller only
    // where its lines would not fit the row.
    static QFont fontForRowHeight(const QFont& base, int rowHeight);
    // The data row under a point of the view's viewport (0 when none).
    int rowAt(const QPoint& viewportPos) const;

Q_SIGNALS:
    void rowSelected(int row, int top, int bottom);
    void scrolled(int row);
    void keyReleased();
    void leftPressed(int row);
    void released(Qt::MouseButton button, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QTableView* view_;
    QScrollBar* scrollBar_;
    TSheetModel* model_;
    int rowHeight_ = 0;
    int selectionTop_ = 0;
    int selectionBottom_ = 0;
};

} // namespace cvg
