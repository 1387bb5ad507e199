#include "worksheet/TfrmSheet.h"

#include "widgets/TUpDown.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace cvg {

namespace {

// The range of both heights.
constexpr int kMinHeight = 14;
constexpr int kMaxHeight = 30;

TUpDown* makeUpDown(
    QWidget* parent, const char* name, const char* fieldName, const QString& hint, const QString& fieldHint)
{
    auto* upDown = new TUpDown(parent);
    upDown->setObjectName(QString::fromLatin1(name));
    upDown->field()->setObjectName(QString::fromLatin1(fieldName));
    upDown->setRange(kMinHeight, kMaxHeight);
    upDown->setSingleStep(1);
    upDown->setWrapping(false);
    upDown->setKeyboardTracking(false);
    upDown->field()->setReadOnly(true);
    upDown->setToolTip(hint);
    upDown->field()->setToolTip(fieldHint);
    return upDown;
}

QLabel* makeLabel(QWidget* parent, const QString& text, QWidget* buddy, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    label->setGeometry(geometry);
    return label;
}

} // namespace

TfrmSheet::TfrmSheet(TfrmMain& main, AppContext& context)
    : TToolWindow(&main, context, QStringLiteral("Sheet"), { 0, 0 }, kDialogWindowFlags)
    , main_(main)
{
    setObjectName(QStringLiteral("frmSheet"));
    setWindowTitle(QStringLiteral("ワークシートの設定"));
    setModal(true);

    auto* gbTabSetting = new QGroupBox(QStringLiteral("タブ設定(&T)"), this);
    gbTabSetting->setObjectName(QStringLiteral("gbTabSetting"));
    gbTabSetting->setGeometry(8, 6, 236, 92);
    cbTabPosition_ = new QComboBox(gbTabSetting);
    cbTabPosition_->setObjectName(QStringLiteral("cbTabPosition"));
    cbTabPosition_->addItems(
        { QStringLiteral("上側"), QStringLiteral("下側"), QStringLiteral("左側"), QStringLiteral("右側") });
    cbTabPosition_->setToolTip(QStringLiteral("タブ表示位置リスト"));
    cbTabPosition_->setGeometry(70, 24, 80, 24);
    makeLabel(gbTabSetting, QStringLiteral("表示位置"), cbTabPosition_, { 12, 24, 56, 24 });
    udTabHeight_ = makeUpDown(gbTabSetting, "udTabHeight", "edtTabHeight", QStringLiteral("タブの高さ調節"),
        QStringLiteral("タブの高さ"));
    udTabHeight_->setGeometry(70, 58, 56, 24);
    makeLabel(gbTabSetting, QStringLiteral("高さ"), udTabHeight_, { 12, 58, 56, 24 });
    cbMultiLine_ = new QCheckBox(QStringLiteral("マルチライン"), gbTabSetting);
    cbMultiLine_->setObjectName(QStringLiteral("cbMultiLine"));
    cbMultiLine_->setToolTip(QStringLiteral("タブを複数行で表示"));
    cbMultiLine_->setGeometry(136, 58, 96, 24);

    auto* gbCellSetting = new QGroupBox(QStringLiteral("セル設定(&S)"), this);
    gbCellSetting->setObjectName(QStringLiteral("gbCellSetting"));
    gbCellSetting->setGeometry(8, 104, 236, 58);
    udDefaultRowHeight_ = makeUpDown(gbCellSetting, "udDefaultRowHeight", "edtDefaultRowHeight",
        QStringLiteral("セルの高さ調節"), QStringLiteral("セルの高さ"));
    udDefaultRowHeight_->setGeometry(70, 24, 56, 24);
    makeLabel(gbCellSetting, QStringLiteral("高さ"), udDefaultRowHeight_, { 12, 24, 56, 24 });

    auto* butClose = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    butClose->setObjectName(QStringLiteral("butClose"));
    butClose->setGeometry(8, 170, 75, 25);
    auto* butHelp = new QPushButton(QStringLiteral("ヘルプ(&C)"), this);
    butHelp->setObjectName(QStringLiteral("butHelp"));
    butHelp->setGeometry(169, 170, 75, 25);
    setFixedSize(252, 203);

    connect(cbTabPosition_, &QComboBox::activated, this, &TfrmSheet::cbTabPositionChange);
    connect(cbMultiLine_, &QCheckBox::toggled, this, &TfrmSheet::cbMultiLineClick);
    connect(udTabHeight_, &QSpinBox::valueChanged, this, &TfrmSheet::udTabHeightClick);
    connect(udDefaultRowHeight_, &QSpinBox::valueChanged, this, &TfrmSheet::udDefaultRowHeightClick);
    connect(butClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(butHelp, &QPushButton::clicked, this, &TfrmSheet::butHelpClick);
}

void TfrmSheet::SheetConfigulationExecute()
{
    main_.action(QStringLiteral("SheetConfigulation"))->setChecked(true);
    exec();
}

void TfrmSheet::showEvent(QShowEvent* event)
{
    // The controls show the settings in force; setting them is no change.
    const MainSettings& s = main_.settings();
    const QSignalBlocker blockList(cbTabPosition_);
    const QSignalBlocker blockTabHeight(udTabHeight_);
    const QSignalBlocker blockRowHeight(udDefaultRowHeight_);
    const QSignalBlocker blockMultiLine(cbMultiLine_);
    cbTabPosition_->setCurrentIndex(s.tabPosition >= 0 && s.tabPosition < 4 ? s.tabPosition : -1);
    udTabHeight_->setValue(s.tabHeight & 0xFFFF);
    udDefaultRowHeight_->setValue(s.rowHeight & 0xFFFF);
    cbMultiLine_->setChecked(s.multiLineTabs != 0);
    TToolWindow::showEvent(event);
}

void TfrmSheet::cbTabPositionChange(int index)
{
    if (index < 0 || index > 3)
        return;
    MainSettings& s = main_.settings();
    if (index <= 1) {
        cbMultiLine_->setEnabled(true);
        cbMultiLine_->setChecked(s.multiLineTabs != 0);
    } else {
        // Side tabs always stand in several rows.
        cbMultiLine_->setEnabled(false);
        cbMultiLine_->setChecked(true);
        s.multiLineTabs = 1;
    }
    s.tabPosition = index;
    main_.applySheetTabLayout();
    // The page's client area changed with the tabs.
    main_.LayoutSheetGrid();
}

void TfrmSheet::cbMultiLineClick(bool checked)
{
    main_.settings().multiLineTabs = checked ? 1 : 0;
    main_.applySheetTabLayout();
}

void TfrmSheet::udTabHeightClick(int position)
{
    main_.settings().tabHeight = position;
    main_.applySheetTabLayout();
}

void TfrmSheet::udDefaultRowHeightClick(int position)
{
    // The current page takes it at once; the others when they next become
    // current, new pages when they are made.
    main_.settings().rowHeight = position;
    main_.LayoutSheetGrid();
}

void TfrmSheet::butHelpClick()
{
    if (ToolWindows* windows = main_.toolWindows())
        windows->ShowHelpTopic(QStringLiteral("DialogWorksheet.htm"));
    stayOnTop();
}

void TfrmSheet::onClosed()
{
    main_.action(QStringLiteral("SheetConfigulation"))->setChecked(false);
}

} // namespace cvg
