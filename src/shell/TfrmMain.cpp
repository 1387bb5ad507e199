// The main window: creation and layout, the status bar and its progress bar,
// activation, resize and close, the command wrapper and dropped files.
#include "shell/TfrmMain.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/SettingsStore.h"
#include "shell/AppContext.h"
#include "shell/ToolWindows.h"
#include "widgets/TPageControl.h"
#include "widgets/TPictureView.h"
#include "worksheet/PointMarkers.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
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
    // Hints show while a tool window has the focus too (Qt asks this of the
    // window that holds the control).
    setAttribute(Qt::WA_AlwaysShowToolTips);
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
    createZoomActions();
    progress_ = std::make_unique<MainProgress>(prgBar_);

    readMainSettings();
    readViewSettings();
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
    pcSheet_ = new TPageControl(pnSheet_);
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
    // The zoom of the picture, beside the three panels.
    lblZoom_ = new QLabel(QStringLiteral("100%"), bar);
    lblZoom_->setObjectName(QStringLiteral("lblZoom"));
    lblZoom_->setFixedWidth(50);
    lblZoom_->setAlignment(Qt::AlignCenter);
    lblZoom_->setFrameShape(QFrame::Panel);
    lblZoom_->setFrameShadow(QFrame::Sunken);
    lblZoom_->setToolTip(QStringLiteral("表示倍率"));
    bar->addWidget(lblZoom_);
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
    writeViewSettings();
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
