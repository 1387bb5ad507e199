#include "shell/TfrmMain.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/SettingsStore.h"
#include "shell/AppContext.h"
#include "worksheet/PointMarkers.h"
#include "widgets/TPictureView.h"
#include "shell/ToolWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QAction>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTimer>
#include <QVBoxLayout>

namespace cvg {

namespace {

constexpr int kProgressWidth = 150;
constexpr int kProgressHeight = 16;
constexpr int kSheetPanelMinimum = 150;

} // namespace

// ---- progress ---------------------------------------------------------------

void MainProgress::begin(int minimum, int maximum)
{
    bar_->setRange(minimum, maximum);
    bar_->setValue(minimum);
    bar_->show();
    bar_->repaint();
    lastPaint_ = QDateTime::currentMSecsSinceEpoch();
}

void MainProgress::setPosition(int position)
{
    // Setting the value of a visible bar repaints it; a million repaints
    // would cost far more than the work itself, so only a few are shown.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastPaint_ < 50 && position != bar_->maximum())
        return;
    lastPaint_ = now;
    bar_->setValue(position);
    bar_->repaint();
}

void MainProgress::end()
{
    // Every command ends here, mouse moves too: a hidden bar is left alone.
    if (bar_->isHidden() && bar_->value() == bar_->minimum())
        return;
    bar_->hide();
    bar_->setValue(0);
}

// ---- creation ----------------------------------------------------------------

TfrmMain::TfrmMain(AppContext& context) : QMainWindow(nullptr), context_(context)
{
    setObjectName(QStringLiteral("frmMain"));
    createActions();
    createMenus();
    createLayout();
    createToolBars();
    createStatusBar();
    connectActions();
    connectSheetPanel();
    connectDocumentActions();
    connectEditActions();
    connectExportActions();
    progress_ = std::make_unique<MainProgress>(prgBar_);

    readMainSettings();
    doc_.state.firstActivation = true;
    IniMain();
    ResetUndo();
    ApplyMainSettings();
    ResetSheets();

    const QSize screen = context_.screenSize;
    const int width = screen.width() * 90 / 100;
    const int height = screen.height() * 90 / 100;
    resize(width, height);
    move((screen.width() - width) / 2, (screen.height() - height) / 2);
    setWindowTitle(QStringLiteral("Curvegleaner32 for Windows Ver.1.27"));

    setAcceptDrops(true);
    SetHintsShown(settings_.showHints != 0);
    placeProgressBar();
    prgBar_->hide();
    InitImageSet(doc_.images);
}

TfrmMain::~TfrmMain()
{
    FreeImageSet(doc_.images);
    // A scratch file earlier versions left for the clipboard; failure is of no concern.
    QFile::remove(context_.programFolder + QStringLiteral("$~Clipboard.txt"));
}

void TfrmMain::readMainSettings()
{
    if (!context_.store.available())
        return; // the view settings stay all zero for the run
    settings_ = loadRecord<MainSettings>(context_.store, QStringLiteral("Main"),
                                         MainSettings::defaults());
    applyTabLayout();
    resizeSheetPanel(settings_.sheetPanelWidth);
}

void TfrmMain::writeMainSettings()
{
    saveRecord(context_.store, QStringLiteral("Main"), settings_);
}

void TfrmMain::createLayout()
{
    auto* central = new QWidget(this);
    auto* vbox = new QVBoxLayout(central);
    vbox->setContentsMargins(0, 0, 0, 0);
    vbox->setSpacing(0);

    pnMenu_ = new QWidget(central);
    pnMenu_->setObjectName(QStringLiteral("pnMenu"));
    auto* menuBox = new QVBoxLayout(pnMenu_);
    menuBox->setContentsMargins(0, 0, 0, 0);
    menuBox->setSpacing(0);
    vbox->addWidget(pnMenu_);

    splMain_ = new QSplitter(Qt::Horizontal, central);
    splMain_->setObjectName(QStringLiteral("splMain"));
    splMain_->setHandleWidth(1);
    splMain_->setOpaqueResize(false); // the drag is shown as a line
    splMain_->setChildrenCollapsible(false);
    vbox->addWidget(splMain_, 1);

    // Picture area.
    pnImage_ = new QWidget(splMain_);
    pnImage_->setObjectName(QStringLiteral("pnImage"));
    auto* imageBox = new QVBoxLayout(pnImage_);
    imageBox->setContentsMargins(0, 0, 0, 0);
    imageBox->setSpacing(0);

    pnDataInfoPanel_ = new QWidget(pnImage_);
    pnDataInfoPanel_->setObjectName(QStringLiteral("pnDataInfoPanel"));
    pnDataInfoPanel_->setFixedHeight(20);
    auto* infoBox = new QHBoxLayout(pnDataInfoPanel_);
    infoBox->setContentsMargins(4, 0, 4, 0);
    infoBox->addWidget(new QLabel(QStringLiteral("座標値："), pnDataInfoPanel_));
    lblCoordinate_ = new QLabel(pnDataInfoPanel_);
    lblCoordinate_->setObjectName(QStringLiteral("lblCoordinate"));
    lblCoordinate_->setMinimumWidth(120);
    infoBox->addWidget(lblCoordinate_);
    infoBox->addWidget(new QLabel(QStringLiteral("換算値："), pnDataInfoPanel_));
    lblConvertedCoodinate_ = new QLabel(pnDataInfoPanel_);
    lblConvertedCoodinate_->setObjectName(QStringLiteral("lblConvertedCoodinate"));
    lblConvertedCoodinate_->setMinimumWidth(200);
    infoBox->addWidget(lblConvertedCoodinate_);
    infoBox->addStretch(1);
    imageBox->addWidget(pnDataInfoPanel_);

    sbImage_ = new QScrollArea(pnImage_);
    sbImage_->setObjectName(QStringLiteral("sbImage"));
    sbImage_->setBackgroundRole(QPalette::Dark);
    sbImage_->setWidgetResizable(false);
    sbImage_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sbImageContent_ = new QWidget;
    sbImageContent_->setObjectName(QStringLiteral("sbImageContent"));
    sbImageContent_->setAutoFillBackground(false);
    imImage_ = new TPictureView(sbImageContent_);
    imImage_->setObjectName(QStringLiteral("imImage"));
    imImage_->move(0, 0);
    pbPaint_ = new TPaintBox(sbImageContent_);
    pbPaint_->setObjectName(QStringLiteral("pbPaint"));
    pbPaint_->hide();
    pbGraph_ = new TPaintBox(sbImageContent_);
    pbGraph_->setObjectName(QStringLiteral("pbGraph"));
    sbImage_->setWidget(sbImageContent_);
    sbImage_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(sbImage_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { menus_.value(QStringLiteral("popFile"))->popup(sbImage_->mapToGlobal(pos)); });
    imageBox->addWidget(sbImage_, 1);

    // Worksheet panel.
    pnSheet_ = new QWidget(splMain_);
    pnSheet_->setObjectName(QStringLiteral("pnSheet"));
    pnSheet_->setMinimumWidth(kSheetPanelMinimum);
    auto* sheetBox = new QVBoxLayout(pnSheet_);
    sheetBox->setContentsMargins(0, 0, 0, 0);
    sheetBox->setSpacing(0);
    pnSheetInfoPanel_ = new QWidget(pnSheet_);
    pnSheetInfoPanel_->setObjectName(QStringLiteral("pnSheetInfoPanel"));
    pnSheetInfoPanel_->setFixedHeight(22);
    auto* sheetInfoBox = new QHBoxLayout(pnSheetInfoPanel_);
    sheetInfoBox->setContentsMargins(4, 0, 4, 0);
    lblSheetInfomation_ = new QLabel(pnSheetInfoPanel_);
    lblSheetInfomation_->setObjectName(QStringLiteral("lblSheetInfomation"));
    sheetInfoBox->addWidget(lblSheetInfomation_);
    sheetBox->addWidget(pnSheetInfoPanel_);
    pnSheetList_ = new QWidget(pnSheet_);
    pnSheetList_->setObjectName(QStringLiteral("pnSheetList"));
    pnSheetList_->setFixedHeight(24);
    auto* listBox = new QHBoxLayout(pnSheetList_);
    listBox->setContentsMargins(5, 1, 5, 1);
    cbxSheetList_ = new QComboBox(pnSheetList_);
    cbxSheetList_->setObjectName(QStringLiteral("cbxSheetList"));
    cbxSheetList_->setToolTip(QStringLiteral("ワークシートリスト"));
    listBox->addWidget(cbxSheetList_);
    sheetBox->addWidget(pnSheetList_);
    pcSheet_ = new QTabWidget(pnSheet_);
    pcSheet_->setObjectName(QStringLiteral("pcSheet"));
    pcSheet_->tabBar()->setMouseTracking(true); // hot-tracked tabs
    pcSheet_->setUsesScrollButtons(true);
    sheetBox->addWidget(pcSheet_, 1);

    splMain_->addWidget(pnImage_);
    splMain_->addWidget(pnSheet_);
    splMain_->setStretchFactor(0, 1);
    splMain_->setStretchFactor(1, 0);
    connect(splMain_, &QSplitter::splitterMoved, this, [this] { onSplitterMoved(); });

    for (QWidget* panel : {static_cast<QWidget*>(pnDataInfoPanel_), pnSheetInfoPanel_}) {
        panel->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(panel, &QWidget::customContextMenuRequested, this, [this, panel](const QPoint& pos) {
            menus_.value(QStringLiteral("popToolBar"))->popup(panel->mapToGlobal(pos));
        });
    }
    setCentralWidget(central);
}

void TfrmMain::createStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("sbStatus"));
    bar->setSizeGripEnabled(true);
    const int widths[3] = {120, 80, 50};
    for (int i = 0; i < 3; ++i) {
        statusPanels_[i] = new QLabel(bar);
        statusPanels_[i]->setObjectName(QStringLiteral("sbStatusPanel%1").arg(i));
        statusPanels_[i]->setFixedWidth(widths[i]);
        statusPanels_[i]->setFrameShape(QFrame::Panel);
        statusPanels_[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(statusPanels_[i]);
    }
    // Lives in the status bar at a place of its own, not in its layout.
    prgBar_ = new QProgressBar(bar);
    prgBar_->setObjectName(QStringLiteral("prgBar"));
    prgBar_->setRange(0, 100);
    prgBar_->setTextVisible(false);
    prgBar_->setFixedSize(kProgressWidth, kProgressHeight);
    prgBar_->hide();
}

void TfrmMain::placeProgressBar()
{
    QStatusBar* bar = statusBar();
    prgBar_->move(bar->width() - kProgressWidth - 16, 3);
    prgBar_->raise();
}

// ---- state of a new document -------------------------------------------------

void TfrmMain::IniMain()
{
    if (windows_)
        windows_->hideForNewDocument(*this);

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
    cvg::ResetUndo(doc_.undo);
    syncUndoActions();
}

void TfrmMain::syncUndoActions()
{
    QAction* undo = action(QStringLiteral("DataUndo"));
    QAction* redo = action(QStringLiteral("DataRedo"));
    undo->setText(doc_.undo.undoCaption);
    undo->setEnabled(doc_.undo.undoEnabled);
    redo->setText(doc_.undo.redoCaption);
    redo->setEnabled(doc_.undo.redoEnabled);
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

void TfrmMain::setShownPicture(const QImage& picture)
{
    imImage_->setPicture(picture);
    imImage_->resize(picture.size());
    sbImageContent_->resize(picture.size());
    FitPaintBox(pbGraph_);
    if (pbPaint_->isVisible())
        FitPaintBox(pbPaint_);
}

int TfrmMain::pictureHeight() const
{
    return imImage_->height();
}

void TfrmMain::RedrawPointMarkers(bool join)
{
    const WorksheetPage& page = doc_.sheets.currentPage();
    if (PointCount(page) < 1) {
        setShownPicture(doc_.images.correctedImage);
        return;
    }
    const int markerSize = windows_ ? windows_->generalMarkerSize() : 3;
    setShownPicture(cvg::RedrawPointMarkers(doc_.images.correctedImage, ReadPoints(page), join,
                                            markerSize, *progress_));
    if (windows_)
        windows_->overviewRefresh();
}

// ---- view settings --------------------------------------------------------------

void TfrmMain::applyTabLayout()
{
    static const QTabWidget::TabPosition positions[4] = {QTabWidget::North, QTabWidget::South,
                                                          QTabWidget::West, QTabWidget::East};
    const int position = settings_.tabPosition;
    pcSheet_->setTabPosition(position >= 0 && position < 4 ? positions[position] : QTabWidget::North);
    // The tab height is the low 16 bits of the setting.
    const int height = settings_.tabHeight & 0xFFFF;
    const bool vertical = position == 2 || position == 3;
    pcSheet_->tabBar()->setStyleSheet(
        height > 0 ? QStringLiteral("QTabBar::tab { %1: %2px; }")
                         .arg(vertical ? QStringLiteral("width") : QStringLiteral("height"))
                         .arg(height)
                   : QString());
    // Tabs in several rows are not available with this toolkit; the tab bar
    // scrolls instead. Side tabs count as several rows, as they always do.
    multiLineTabsInForce_ = vertical || settings_.multiLineTabs != 0;
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
    for (int n = 0; n <= 28; ++n) {
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

// ---- splitter, activation, resize, close ----------------------------------------

void TfrmMain::onSplitterMoved()
{
    const int width = splMain_->sizes().value(1);
    if (width == kSheetPanelMinimum) {
        // The drag that would leave the panel at its minimum is refused.
        resizeSheetPanel(wantedSheetWidth_);
        return;
    }
    wantedSheetWidth_ = width;
    LayoutSheetGrid();
    cbxSheetList_->update();
    settings_.sheetPanelWidth = width;
}

void TfrmMain::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        update();
        if (doc_.state.firstActivation)
            onFirstActivation();
    }
    QMainWindow::changeEvent(event);
}

void TfrmMain::onFirstActivation()
{
    doc_.state.firstActivation = false;
    OpenCommandLine();
    LayoutSheetGrid();
}

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (windows_ && action(QStringLiteral("ImageWindow"))->isChecked())
        windows_->overviewFrame();
    placeProgressBar();
    // The worksheet panel keeps its width while the window changes size.
    if (wantedSheetWidth_ > 0 && splMain_->sizes().value(1) != wantedSheetWidth_)
        resizeSheetPanel(wantedSheetWidth_);
    LayoutSheetGrid();
}

bool TfrmMain::event(QEvent* event)
{
    if (event->type() == QEvent::Show && doc_.state.firstActivation) {
        // Without a window manager a window may never be activated; the
        // command-line file is opened all the same once the window is up.
        QTimer::singleShot(0, this, [this] {
            if (doc_.state.firstActivation)
                onFirstActivation();
        });
    }
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)
        placeProgressBar();
    return QMainWindow::event(event);
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    writeMainSettings();
    event->accept();
    if (windows_)
        windows_->closeAll();
}

void TfrmMain::runCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (const CvgError& error) {
        context_.dialogs.error(error.userText());
    } catch (const std::bad_alloc&) {
        context_.dialogs.error(QStringLiteral("メモリが不足しています。"));
    }
    progress_->end();
}

void TfrmMain::setStatusTexts(const QString& fileName, const QString& modifiedText)
{
    statusPanels_[0]->setText(fileName);
    statusPanels_[1]->setText(modifiedText);
}

QString TfrmMain::statusText(int panel) const
{
    return statusPanels_[panel]->text();
}

// ---- files dropped on the window -----------------------------------------------

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    event->acceptProposedAction();
    DropFiles(paths);
}


} // namespace cvg
