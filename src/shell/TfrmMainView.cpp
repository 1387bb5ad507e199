// What the main window shows: the state of a new document, the picture with
// the current page's points, and the view settings.
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/SettingsStore.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "widgets/TPageControl.h"
#include "widgets/TPictureView.h"
#include "worksheet/EditCommands.h"
#include "worksheet/PointMarkers.h"

#include <QAction>
#include <QColor>
#include <algorithm>
#include <iterator>
#include <QComboBox>
#include <QEvent>
#include <QScrollArea>
#include <QWheelEvent>
#include <QLabel>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>

namespace cvg {

// ---- state of a new document -------------------------------------------------

void TfrmMain::IniMain()
{
    if (windows_)
        windows_->hideForNewDocument(*this);
    hideLoupe();

    // Only the data this window keeps about the document; the pages are
    // reset by the new-document command.
    FreeImageSet(doc_.images);
    InitImageSet(doc_.images);
    doc_.calibration = Calibration{};
    doc_.header = DocumentHeader::fresh();
    doc_.fileName.clear();
    doc_.state.pictureLoaded = false;
    doc_.state.modified = false;
    doc_.state.overwritePath.clear();
    doc_.resize = ResizeRecord{};

    QAction* paste = action(QStringLiteral("Paste"));
    paste->setText(QStringLiteral("貼り付け(&P) "));
    paste->setEnabled(false);
    doc_.undo.pasteCaption = paste->text();
    doc_.undo.pasteEnabled = false;
    action(QStringLiteral("OverWrite"))->setEnabled(false);
    action(QStringLiteral("DoDataCovert"))->setChecked(false);

    lblCoordinate_->clear();
    lblConvertedCoodinate_->clear();
    setStatusTexts(QStringLiteral("新規ファイル"), QStringLiteral("変更なし"));
    statusPanels_[2]->clear();

    imImage_->setPicture(QImage());
    imImage_->resize(0, 0);
    pbPaint_->resize(0, 0);
    FitPaintBox(pbGraph_);
    sbImageContent_->resize(0, 0);
}

void TfrmMain::ResetUndo()
{
    // A new or newly read document starts a history of its own.
    doc_.history.clear(doc_);
    syncUndoActions();
}

void TfrmMain::syncUndoActions()
{
    QAction* undo = action(QStringLiteral("DataUndo"));
    QAction* redo = action(QStringLiteral("DataRedo"));
    undo->setText(UndoCaption(doc_.history));
    undo->setEnabled(doc_.history.canUndo());
    redo->setText(RedoCaption(doc_.history));
    redo->setEnabled(doc_.history.canRedo());
    QAction* paste = action(QStringLiteral("Paste"));
    paste->setText(doc_.undo.pasteCaption);
    paste->setEnabled(doc_.undo.pasteEnabled);
}

void TfrmMain::FitPaintBox(QWidget* paintBox)
{
    paintBox->setGeometry(imImage_->geometry());
}

void TfrmMain::ShowWorkingImage()
{
    setShownPicture(doc_.images.workingImage);
}

const QImage& TfrmMain::shownPicture() const
{
    return imImage_->picture();
}

const QImage& TfrmMain::markedPicture()
{
    return imImage_->markedPicture();
}

void TfrmMain::setShownPicture(const QImage& picture)
{
    imImage_->setPicture(picture);
    sbImageContent_->resize(imImage_->size());
    FitPaintBox(pbGraph_);
    if (pbPaint_->isVisible())
        FitPaintBox(pbPaint_);
}

void TfrmMain::showMarks(std::vector<MarkLayer> layers, Progress& progress)
{
    const int markerSize = windows_ ? windows_->generalMarkerSize() : 3;
    imImage_->setMarkedPicture(doc_.images.correctedImage, std::move(layers), markerSize, progress);
    sbImageContent_->resize(imImage_->size());
    FitPaintBox(pbGraph_);
    if (pbPaint_->isVisible())
        FitPaintBox(pbPaint_);
}

int TfrmMain::pictureHeight() const
{
    return imImage_->pictureSize().height();
}

QRgb TfrmMain::pageColour(int index)
{
    // Neither the current page's red and green nor pure red (the current
    // point's mark).
    static const QRgb colours[] = {0x0050FF, 0xC800C8, 0xFF8C00, 0x00A0A0, 0x7840C8,
                                   0x8C5A28, 0x808000, 0xE65A96, 0x00A050, 0x505050};
    const int n = int(std::size(colours));
    return colours[((index % n) + n) % n];
}

std::vector<MarkLayer> TfrmMain::markLayers(bool join, bool squaresOnly) const
{
    std::vector<MarkLayer> layers;
    const Worksheets& sheets = doc_.sheets;
    const int current = sheets.currentIndex();
    if (allPagesShown()) {
        // The other pages first, so that the current one lies on top.
        for (int i = 0; i < sheets.pageCount(); ++i) {
            if (i == current)
                continue;
            const WorksheetPage& page = sheets.page(i);
            if (PointCount(page) < 1)
                continue;
            MarkLayer layer;
            layer.points = ReadPoints(page);
            layer.joined = join ? layer.points.size() : 0;
            const QRgb colour = pageColour(i);
            layer.colours = {colour, colour, QColor(colour).darker(160).rgb() & 0xFFFFFF};
            layers.push_back(std::move(layer));
        }
    }
    MarkLayer own;
    own.points = ReadPoints(sheets.currentPage());
    own.joined = join && !squaresOnly ? own.points.size() : 0;
    layers.push_back(std::move(own));
    return layers;
}

void TfrmMain::RedrawPointMarkers(bool join)
{
    // Until a calibration is accepted there is no straightened picture: the
    // picture as loaded stays in view.
    if (!doc_.calibration.Converted) {
        ShowWorkingImage();
        return;
    }
    std::vector<MarkLayer> layers = markLayers(join, false);
    const bool any = std::any_of(layers.begin(), layers.end(), [](const MarkLayer& l) { return !l.points.empty(); });
    if (!any) {
        setShownPicture(doc_.images.correctedImage);
        return;
    }
    showMarks(std::move(layers), *progress_);
    if (windows_)
        windows_->overviewRefresh();
}

void TfrmMain::redrawSquaresOnly()
{
    NullProgress quiet;
    showMarks(markLayers(false, true), quiet);
}

// ---- view settings --------------------------------------------------------------

void TfrmMain::applyTabLayout()
{
    static const QTabWidget::TabPosition positions[4] = {QTabWidget::North, QTabWidget::South,
                                                          QTabWidget::West, QTabWidget::East};
    const int position = settings_.tabPosition;
    pcSheet_->setTabPosition(position >= 0 && position < 4 ? positions[position] : QTabWidget::North);
    // The tab height is the low 16 bits of the setting. Side tabs always
    // take several rows.
    const bool vertical = position == 2 || position == 3;
    multiLineTabsInForce_ = vertical || settings_.multiLineTabs != 0;
    auto* bar = static_cast<TPageControl*>(pcSheet_)->pageTabBar();
    bar->setRowThickness(settings_.tabHeight & 0xFFFF);
    bar->setMultiRow(multiLineTabsInForce_);
}

void TfrmMain::resizeSheetPanel(int width)
{
    if (width <= 0)
        return;
    QList<int> sizes = splMain_->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (total > width)
        splMain_->setSizes({total - width, width});
    else
        splMain_->setSizes({std::max(1, total), width});
    pnSheet_->resize(width, pnSheet_->height());
    wantedSheetWidth_ = width;
}

void TfrmMain::ApplyMainSettings()
{
    pnDataInfoPanel_->setVisible(settings_.showDataInfo != 0);
    action(QStringLiteral("ShowCurrentDataInfo"))->setChecked(settings_.showDataInfo != 0);
    pnSheetInfoPanel_->setVisible(settings_.showSheetInfo != 0);
    action(QStringLiteral("ShowCurrentSheetInfo"))->setChecked(settings_.showSheetInfo != 0);
    setSaveImageChoice(settings_.saveImageChoice);
    action(QStringLiteral("ShowToolButton"))->setChecked(settings_.showToolButtons != 0);
    tbSpeedButton_->setVisible(settings_.showToolButtons != 0);
    setTransferFormat(settings_.transferFormat);
    SetHintsShown(settings_.showHints != 0);
    applyTabLayout();
    action(QStringLiteral("acConnectLine"))->setChecked(settings_.connectLine != 0);
}

void TfrmMain::SetHintsShown(bool on)
{
    // The 29 original buttons and the zoom buttons after them.
    for (int n = 0; n <= 32; ++n) {
        if (QWidget* button = tbSpeedButton_->findChild<QWidget*>(QStringLiteral("spButton%1").arg(n)))
            button->setProperty(kHintProperty, on);
    }
    cbxSheetList_->setProperty(kHintProperty, on);
    action(QStringLiteral("ShowHint"))->setChecked(on);
    settings_.showHints = on ? 1 : 0;
}

bool TfrmMain::hintShown(const QWidget* widget)
{
    return widget->property(kHintProperty).toBool();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl and the wheel over the picture zoom about the cursor.
    if (event->type() == QEvent::Wheel && watched == sbImage_->viewport()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            runCommand([this, wheel] { zoomWheel(wheel); });
            return true;
        }
    }
    // A control whose hints are switched off swallows the tool tip request.
    if (event->type() == QEvent::ToolTip) {
        const QVariant shown = watched->property(kHintProperty);
        if (shown.isValid() && !shown.toBool())
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::ShowCurrentDataInfoExecute()
{
    const bool shown = !pnDataInfoPanel_->isVisible();
    action(QStringLiteral("ShowCurrentDataInfo"))->setChecked(shown);
    pnDataInfoPanel_->setVisible(shown);
    settings_.showDataInfo = shown ? 1 : 0;
}

void TfrmMain::ShowCurrentSheetInfoExecute()
{
    const bool shown = !pnSheetInfoPanel_->isVisible();
    action(QStringLiteral("ShowCurrentSheetInfo"))->setChecked(shown);
    pnSheetInfoPanel_->setVisible(shown);
    settings_.showSheetInfo = shown ? 1 : 0;
}

void TfrmMain::ShowToolButtonExecute()
{
    const bool shown = settings_.showToolButtons == 0;
    tbSpeedButton_->setVisible(shown);
    action(QStringLiteral("ShowToolButton"))->setChecked(shown);
    settings_.showToolButtons = shown ? 1 : 0;
}

void TfrmMain::ShowHintExecute()
{
    if (settings_.showHints == 0)
        SetHintsShown(true);
    else if (settings_.showHints == 1)
        SetHintsShown(false);
    else
        action(QStringLiteral("ShowHint"))->setChecked(true); // an odd stored value stays as it is
}

void TfrmMain::acConnectLineExecute()
{
    settings_.connectLine = action(QStringLiteral("acConnectLine"))->isChecked() ? 1 : 0;
    RedrawPointMarkers(settings_.connectLine != 0);
}

void TfrmMain::setSaveImageChoice(int choice)
{
    settings_.saveImageChoice = choice;
    const char* names[3] = {"SaveOriginalImage", "SaveDeformedImage", "SaveNotResizeImage"};
    for (int i = 0; i < 3; ++i)
        action(QString::fromLatin1(names[i]))->setChecked(i == choice);
}

void TfrmMain::setTransferFormat(int format)
{
    settings_.transferFormat = format;
    const char* names[3] = {"ExcelFormat", "CsvFormat", "PrnFormat"};
    for (int i = 0; i < 3; ++i)
        action(QString::fromLatin1(names[i]))->setChecked(i == format);
}

} // namespace cvg
