#include "worksheet/TSheetGrid.h"

#include "calibration/Calibration.h"
#include "calibration/ValueText.h"
#include "worksheet/Worksheets.h"

#include <QHBoxLayout>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace cvg {

// ---- model -----------------------------------------------------------------------

TSheetModel::TSheetModel(Worksheets& sheets, const Calibration& calibration, int pageNumber, QObject* parent)
    : QAbstractTableModel(parent), sheets_(sheets), calibration_(calibration), pageNumber_(pageNumber)
{
}

int TSheetModel::pageIndex() const
{
    for (int i = 0; i < sheets_.pageCount(); ++i)
        if (sheets_.page(i).number == pageNumber_)
            return i;
    return -1;
}

int TSheetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kMaxPoints;
}

int TSheetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kSheetColumns;
}

QVariant TSheetModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignTop);
    // A value wider than its column is cut short in the cell; the tool tip
    // shows all of it.
    const bool tip = role == Qt::ToolTipRole && index.column() >= kColumnXValue;
    if (role != Qt::DisplayRole && !tip)
        return {};
    const int page = pageIndex();
    if (page < 0)
        return {};
    const std::vector<Point>& points = sheets_.page(page).points;
    if (size_t(index.row()) >= points.size())
        return {};
    const Point& p = points[size_t(index.row())];
    switch (index.column()) {
    case kColumnX:
        return QString::number(p.X);
    case kColumnY:
        return QString::number(p.Y);
    default:
        // The values the export writes for the point, computed for the rows in view only.
        if (!calibration_.Converted)
            return {};
        return ValueText(index.column() == kColumnXValue ? ConvertX(calibration_, p.preciseX())
                                                         : ConvertY(calibration_, p.preciseY()));
    }
}

QVariant TSheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignHCenter | Qt::AlignTop);
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        static const QString titles[kSheetColumns]
            = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("X値"), QStringLiteral("Y値")};
        return section >= 0 && section < kSheetColumns ? titles[section] : QString();
    }
    return QString::number(section + 1);
}

void TSheetModel::pointsChanged()
{
    // The row count never changes, so the cells are simply drawn again.
    Q_EMIT dataChanged(index(0, 0), index(kMaxPoints - 1, kSheetColumns - 1));
}

// ---- grid --------------------------------------------------------------------------

TSheetGrid::TSheetGrid(Worksheets& sheets, const Calibration& calibration, int pageNumber, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("sgSheet%1").arg(pageNumber));
    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    model_ = new TSheetModel(sheets, calibration, pageNumber, this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("sgData"));
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setShowGrid(true);
    view_->setWordWrap(false);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // Uniform rows: the header never measures a million sections.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->horizontalHeader()->setHighlightSections(false);
    view_->verticalHeader()->setHighlightSections(false);
    view_->verticalHeader()->setDefaultAlignment(Qt::AlignHCenter | Qt::AlignTop);
    view_->viewport()->installEventFilter(this);
    view_->installEventFilter(this);
    box->addWidget(view_, 1);

    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setObjectName(QStringLiteral("sbSheet"));
    scrollBar_->setRange(1, kMaxPoints);
    scrollBar_->setValue(1);
    box->addWidget(scrollBar_);

    // Like a fresh grid, the first data row is current.
    view_->setCurrentIndex(model_->index(0, 0));
    selectionTop_ = selectionBottom_ = 1;

    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) {
        view_->verticalScrollBar()->setValue(value - 1);
        Q_EMIT scrolled(value);
    });
    // Wheel and keyboard scrolling of the view move our bar too.
    connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (scrollBar_->value() != value + 1) {
            const QSignalBlocker block(scrollBar_);
            scrollBar_->setValue(value + 1);
        }
    });
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                const int row = current.isValid() ? current.row() + 1 : 0;
                const int top = selectionTop_, bottom = selectionBottom_;
                Q_EMIT rowSelected(row, top, bottom);
            });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        // One contiguous block: its ranges give the rows without listing them.
        int top = 0, bottom = 0;
        for (const QItemSelectionRange& range : view_->selectionModel()->selection()) {
            top = top == 0 ? range.top() + 1 : std::min(top, range.top() + 1);
            bottom = std::max(bottom, range.bottom() + 1);
        }
        selectionTop_ = top;
        selectionBottom_ = bottom;
    });
}

int TSheetGrid::currentRow() const
{
    const QModelIndex current = view_->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void TSheetGrid::setCurrentRow(int row)
{
    if (row < 1)
        row = 1;
    row = std::min(row, kMaxPoints);
    view_->setCurrentIndex(model_->index(row - 1, 0));
    view_->scrollTo(model_->index(row - 1, 0));
    const QSignalBlocker block(scrollBar_);
    scrollBar_->setValue(row);
}

int TSheetGrid::rowsInView() const
{
    const int height = view_->verticalHeader()->defaultSectionSize();
    return height > 0 ? std::max(1, view_->viewport()->height() / height) : 1;
}

void TSheetGrid::layoutGrid(int rowHeight)
{
    rowHeight_ = rowHeight;
    if (rowHeight > 0) {
        view_->verticalHeader()->setMinimumSectionSize(std::min(rowHeight, 4));
        view_->verticalHeader()->setDefaultSectionSize(rowHeight);
        const QFont cellFont = fontForRowHeight(font(), rowHeight);
        view_->setFont(cellFont);
        view_->verticalHeader()->setFont(cellFont);
    }
    // Equal columns, the number column (the vertical header) among them.
    constexpr int shown = kSheetColumns + 1;
    const int width = (view_->width() - shown * (view_->showGrid() ? 1 : 0)) / shown;
    if (width > 0) {
        view_->verticalHeader()->setFixedWidth(width);
        view_->horizontalHeader()->setDefaultSectionSize(width);
        for (int column = 0; column < kSheetColumns; ++column)
            view_->setColumnWidth(column, width);
    }
    scrollBar_->setPageStep(rowsInView());
}

QFont TSheetGrid::fontForRowHeight(const QFont& base, int rowHeight)
{
    // The largest size up to the window's own whose lines fit a row less its
    // grid line, so digits are never cut at small row heights.
    QFont font = base;
    int size = base.pixelSize() > 0 ? base.pixelSize() : QFontInfo(base).pixelSize();
    for (; size > 6; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() <= rowHeight - 2)
            break;
    }
    font.setPixelSize(size);
    return font;
}

int TSheetGrid::rowAt(const QPoint& viewportPos) const
{
    const int row = view_->rowAt(viewportPos.y());
    return row < 0 ? 0 : row + 1;
}

void TSheetGrid::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The columns share the new width; the page step follows the rows in view.
    layoutGrid(rowHeight_);
}

bool TSheetGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton)
                Q_EMIT leftPressed(rowAt(mouse->position().toPoint()));
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            Q_EMIT released(mouse->button(), rowAt(mouse->position().toPoint()));
        }
    } else if (watched == view_ && event->type() == QEvent::KeyRelease) {
        Q_EMIT keyReleased();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace cvg
