// The worksheet panel: pages as tabs with their grids, the sheet list, the
// row selection and the information labels.
#include "calibration/Calibration.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "worksheet/DocumentChanges.h"
#include "worksheet/TSheetGrid.h"
#include "worksheet/TextExport.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTabWidget>

namespace cvg {

TSheetGrid* TfrmMain::sheetGrid(int index) const
{
    return qobject_cast<TSheetGrid*>(pcSheet_->widget(index));
}

int TfrmMain::currentGridRow() const
{
    const TSheetGrid* grid = currentGrid();
    return grid ? grid->currentRow() : 0;
}

TSheetGrid* TfrmMain::currentGrid() const
{
    return sheetGrid(pcSheet_->currentIndex());
}

void TfrmMain::connectSheetPanel()
{
    connect(pcSheet_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && !syncingTabs_)
            runCommand([this, index] { onSheetTabChanged(index); });
    });
    connect(cbxSheetList_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        runCommand([this, index] { onSheetListChosen(index); });
    });
    onAction(QStringLiteral("AddNewSheet"), &TfrmMain::AddNewSheetExecute);
    onAction(QStringLiteral("InsertNewSheet"), &TfrmMain::InsertNewSheetExecute);
    onAction(QStringLiteral("DeleteSheet"), &TfrmMain::DeleteSheetExecute);
    onAction(QStringLiteral("RenameSheet"), &TfrmMain::RenameSheetExecute);
    onAction(QStringLiteral("GotoTop"), &TfrmMain::GotoTopExecute);
    onAction(QStringLiteral("GotoEnd"), &TfrmMain::GotoEndExecute);
}

TSheetGrid* TfrmMain::makeSheetGrid(int pageNumber)
{
    auto* grid = new TSheetGrid(doc_.sheets, doc_.calibration, pageNumber, nullptr);
    grid->view()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid->view(), &QWidget::customContextMenuRequested, this, [this, grid](const QPoint& pos) {
        menus_.value(QStringLiteral("popEdit"))->popup(grid->view()->viewport()->mapToGlobal(pos));
    });
    connect(grid, &TSheetGrid::scrolled, this, [this, grid](int row) {
        if (grid == currentGrid()) {
            grid->view()->setCurrentIndex(grid->model()->index(row - 1, 0));
            SelectSheetRow(grid->currentRow());
        }
    });
    connect(grid, &TSheetGrid::keyReleased, this, [this, grid] {
        if (grid == currentGrid())
            SelectSheetRow(grid->currentRow());
    });
    connect(grid, &TSheetGrid::rowSelected, this, [this](int row, int top, int bottom) {
        if (row > top) {
            doc_.sheets.selectionStart = top;
            doc_.sheets.selectionEnd = row;
        } else {
            doc_.sheets.selectionStart = row;
            doc_.sheets.selectionEnd = bottom;
        }
        if (doc_.sheets.selectionStart == 0)
            doc_.sheets.selectionStart = row;
    });
    connect(grid, &TSheetGrid::leftPressed, this, [this](int row) {
        cbxSheetList_->setCurrentIndex(doc_.sheets.currentIndex());
        if (row >= 1 && row <= PointCount(doc_.sheets.currentPage())) {
            doc_.sheets.selectionStart = row;
            action(QStringLiteral("DoDataCovert"))->setChecked(false);
            action(QStringLiteral("acDeformationData"))->setChecked(false);
            SelectSheetRow(row);
        } else if (windows_) {
            windows_->clearPointEditor();
        }
    });
    connect(grid, &TSheetGrid::released, this, [this, grid](Qt::MouseButton button, int row) {
        const int current = grid->currentRow();
        if (current >= 1 && current <= PointCount(doc_.sheets.currentPage()) && button == Qt::LeftButton) {
            doc_.sheets.selectionEnd = row;
            doc_.sheets.currentRow = row;
        }
        UpdateSheetInfo();
    });
    return grid;
}

void TfrmMain::rebuildSheetTabs()
{
    // Tabs follow the model's pages; a grid is kept as long as its page lives.
    syncingTabs_ = true;
    QHash<int, TSheetGrid*> existing;
    for (int i = pcSheet_->count() - 1; i >= 0; --i) {
        auto* grid = sheetGrid(i);
        pcSheet_->removeTab(i);
        if (grid)
            existing.insert(grid->model()->pageNumber(), grid);
    }
    for (int i = 0; i < doc_.sheets.pageCount(); ++i) {
        const WorksheetPage& page = doc_.sheets.page(i);
        TSheetGrid* grid = existing.take(page.number);
        if (!grid)
            grid = makeSheetGrid(page.number);
        pcSheet_->addTab(grid, page.caption);
        grid->model()->pointsChanged();
    }
    qDeleteAll(existing);
    pcSheet_->setCurrentIndex(doc_.sheets.currentIndex());
    syncingTabs_ = false;
    RebuildSheetList();
}

void TfrmMain::pointsChanged()
{
    if (TSheetGrid* grid = currentGrid())
        grid->model()->pointsChanged();
}

void TfrmMain::valuesChanged()
{
    for (int i = 0; i < pcSheet_->count(); ++i)
        if (TSheetGrid* grid = sheetGrid(i))
            grid->model()->pointsChanged();
}

bool TfrmMain::CreateSheetPage()
{
    if (!doc_.sheets.CreateSheetPage()) {
        context_.dialogs.info(QStringLiteral("ワークシート追加に失敗しました"));
        return false;
    }
    rebuildSheetTabs();
    LayoutSheetGrid();
    UpdateSheetInfo();
    RebuildSheetList();
    return true;
}

void TfrmMain::ResetSheets()
{
    doc_.sheets.ResetSheets();
    rebuildSheetTabs();
    LayoutSheetGrid();
    UpdateSheetInfo();
}

void TfrmMain::pageActionFollowUps()
{
    // The page actions are steps of the history, which page switches keep.
    rebuildSheetTabs();
    LayoutSheetGrid();
    UpdateSheetInfo();
    action(QStringLiteral("DoDataCovert"))->setChecked(false);
    MarkModified();
    RedrawPointMarkers(settings_.connectLine != 0);
}

void TfrmMain::AddNewSheetExecute()
{
    if (AddNewSheet(doc_))
        pageActionFollowUps();
    else
        context_.dialogs.info(QStringLiteral("ワークシート追加に失敗しました"));
}

void TfrmMain::InsertNewSheetExecute()
{
    if (InsertNewSheet(doc_))
        pageActionFollowUps();
    else
        context_.dialogs.info(QStringLiteral("ワークシート追加に失敗しました"));
}

void TfrmMain::DeleteSheetExecute()
{
    if (doc_.sheets.pageCount() <= 1)
        return;
    if (context_.dialogs.ask(QStringLiteral("ワークシートを削除しようとしています。\r\n削除しますか？"))
        != MsgResult::Yes)
        return;
    if (DeleteCurrentSheet(doc_))
        pageActionFollowUps();
}

void TfrmMain::RenameSheetExecute()
{
    WorksheetPage& page = doc_.sheets.currentPage();
    const std::optional<QString> answer = context_.dialogs.inputText(
        QStringLiteral("ワークシート名変更"), QStringLiteral("新しい名前"), page.caption);
    // A cancelled box gives back the initial text, which counts as an answer.
    const QString name = answer.value_or(page.caption);
    if (name.isEmpty())
        return;
    RenameCurrentSheet(doc_, name);
    pcSheet_->setTabText(doc_.sheets.currentIndex(), name);
    RebuildSheetList();
    MarkModified();
}

void TfrmMain::GotoTopExecute()
{
    SelectSheetRow(1);
}

void TfrmMain::GotoEndExecute()
{
    SelectSheetRow(PointCount(doc_.sheets.currentPage()));
}

void TfrmMain::onSheetTabChanged(int index)
{
    doc_.sheets.setCurrentIndex(index);
    RebuildSheetList();
    LayoutSheetGrid();
    UpdateSheetInfo();
    action(QStringLiteral("DoDataCovert"))->setChecked(false);
    action(QStringLiteral("EditData"))->setChecked(false);
    if (windows_)
        windows_->hidePointEditor();
    doc_.sheets.currentRow = 0;
    if (windows_)
        windows_->resetCurrentMarker();
    update();
    RedrawPointMarkers(settings_.connectLine != 0);
}

void TfrmMain::onSheetListChosen(int index)
{
    if (index < 0 || index >= doc_.sheets.pageCount())
        return;
    doc_.sheets.setCurrentIndex(index);
    syncingTabs_ = true;
    pcSheet_->setCurrentIndex(index);
    syncingTabs_ = false;
    updateSheetListColours();
    RedrawPointMarkers(settings_.connectLine != 0);
    UpdateSheetInfo();
    action(QStringLiteral("DoDataCovert"))->setChecked(false);
}

void TfrmMain::SelectSheetRow(int row)
{
    doc_.sheets.currentRow = row;
    if (row == 0)
        row = 1;
    TSheetGrid* grid = currentGrid();
    if (!grid)
        return;
    grid->setCurrentRow(row);
    const std::vector<Point>& points = doc_.sheets.currentPage().points;
    if (row >= 1 && size_t(row) <= points.size()) {
        if (windows_)
            windows_->showCurrentPoint(points[size_t(row) - 1]);
    } else if (windows_) {
        windows_->clearPointEditor();
    }
    UpdateSheetInfo();
}

void TfrmMain::UpdateSheetInfo()
{
    cbxSheetList_->setCurrentIndex(doc_.sheets.currentIndex());
    TSheetGrid* grid = currentGrid();
    const int row = grid ? grid->currentRow() : 0;
    const std::vector<Point>& points = doc_.sheets.currentPage().points;
    if (row == 0 || size_t(row) > points.size()) {
        lblCoordinate_->clear();
        lblConvertedCoodinate_->clear();
    } else {
        const Point& p = points[size_t(row) - 1];
        lblCoordinate_->setText(QString::number(p.X) + QLatin1Char(' ') + QString::number(p.Y));
        lblConvertedCoodinate_->setText(ConvertedValueText(doc_.calibration, p));
    }
    lblSheetInfomation_->setText(QStringLiteral("ページ: %1 列: %2").arg(doc_.sheets.currentIndex() + 1).arg(row));
}

void TfrmMain::RebuildSheetList()
{
    const QSignalBlocker block(cbxSheetList_);
    cbxSheetList_->clear();
    for (int i = 0; i < doc_.sheets.pageCount(); ++i)
        cbxSheetList_->addItem(doc_.sheets.page(i).caption);
    // The list's chosen item is always the page shown.
    cbxSheetList_->setCurrentIndex(doc_.sheets.currentIndex());
    updateSheetListColours();
}

void TfrmMain::LayoutSheetGrid()
{
    cbxSheetList_->updateGeometry();
    if (TSheetGrid* grid = currentGrid())
        grid->layoutGrid(settings_.rowHeight);
}

} // namespace cvg
