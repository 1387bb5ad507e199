// The main window's actions, menus and tool bars.
#include "shell/Icons.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace cvg {

namespace {

struct ActionText {
    const char* name;
    const char* caption;
    const char* hint;
    const char* shortcut;
    bool checkable;
};

// Every action of the window, with caption, hint and shortcut as shown.
const ActionText kActions[] = {
    {"acImageMagnification", "拡大・縮小", "画像の拡大・縮小", "", false},
    {"acDeformationData", "歪修正と換算値計算", "グラフの歪修正と換算値データを計算", "", true},
    {"ProgramInitialozation", "新規ファイル", "新規ファイルの作成", "", false},
    {"AddNewSheet", "追加(&A)", "ワークシートの追加", "Ctrl+A", false},
    {"InsertNewSheet", "挿入(&I)", "ワークシートの挿入", "Ctrl+I", false},
    {"DeleteSheet", "削除(&D)", "ワークシートの削除", "Ctrl+D", false},
    {"GotoTop", "最初のセルに移動(&T)", "最初のセルへ移動", "", false},
    {"GotoEnd", "最後のセルに移動(&E)", "最後のセルへ移動", "", false},
    {"EditData", "数値編集", "数値編集", "", true},
    {"DataSort", "昇順でソート(&S)", "昇順でソート", "", false},
    {"DataCut", "カット(&X)", "データのカット", "Ctrl+X", false},
    {"DataCopy", "コピー(&C)", "データのコピー", "Ctrl+C", false},
    {"DataPaste", "貼り付け(&V)", "データの貼り付け", "Ctrl+V", false},
    {"DataAllDelete", "全て削除(&D)", "ワークシート・データの削除", "", false},
    {"SheetDataToClipboard", "クリップボードに転送(&C)", "換算値をクリップボードへ転送", "", false},
    {"DataUndo", "元に戻す(&U)", "戻す", "", false},
    {"DataRedo", "元に戻すを取消す(&R)", "戻すを取消す", "", false},
    {"acLinerInterpolation", "直線的な補間(&L)", "直線に適した数値補間", "", false},
    {"acSquareInterpolate", "曲線的な補間(&C)", "曲線に適した数値補間", "", false},
    {"ShowCurrentDataInfo", "座標値と換算値(&D)", "", "", true},
    {"ShowCurrentSheetInfo", "編集ページとセル(&S)", "", "", true},
    {"ShowToolButton", "ツールボタン(&T)", "", "", true},
    {"ShowHint", "ヒント(&H)", "", "", true},
    {"ShowScopeWindow", "拡大表示窓(&S)", "拡大表示窓の表示・非表示", "", true},
    {"DoDataCovert", "座標指定", "数値化する座標を指定", "", true},
    {"PublicLoadFile", "開く(&O)", "ファイルを開く", "", false},
    {"PublicSaveFile", "閉じる(&C)", "ファイルを閉じる", "", false},
    {"SheetConfigulation", "ワークシート(&W)", "ワークシートの設定", "", false},
    {"DirectoryConfigulation", "ディレクトリ(&D)", "データ・ディレクトリの設定", "", false},
    {"acHelp", "ヘルプ(&H)", "ヘルプ・インデックスを開く", "F1", false},
    {"ExcelFormat", "タブ区切り(&T)", "", "", true},
    {"CsvFormat", "カンマ区切り(&C)", "", "", true},
    {"PrnFormat", "スペース区切り(&P)", "", "", true},
    {"SaveWorkSheetAsText", "換算値", "換算値をファイルに保存する", "", false},
    {"ImageWindow", "画像全体(&A)", "全体画像の表示", "", true},
    {"SplineConfigulation", "補間処理(&S)", "", "", false},
    {"acDeleteMarker", "削除", "", "", false},
    {"ShowTraceWindow", "線指定(&L)", "数値化する線を指定する", "", true},
    {"RenameSheet", "ワークシート名変更(&N)", "", "", false},
    {"MakerSizeConfigularion", "マーカサイズ(&M)", "", "", true},
    {"acNewVersion", "最新版のチェック(&C)", "", "", false},
    {"acMouse", "マウス(&P)", "", "", false},
    {"acSystem", "システム情報(&E)", "", "", false},
    {"acConnectLine", "座標を線で結ぶ(&C)", "", "", true},
    // Menu items that are not actions of the list, named for the code.
    {"OpenData", "データ(&D)", "", "", false},
    {"OpenBitmap", "ビットマップ(&B)", "", "", false},
    {"OpenJpeg", "JPEG(&J)", "", "", false},
    {"OpenWmf", "WMF(&W)", "", "", false},
    {"OpenEmf", "EMF(&E)", "", "", false},
    {"SaveData", "データ(&D)", "", "", false},
    {"SaveBitmap", "ビットマップ(&B)", "", "", false},
    {"SaveJpeg", "JPEG(&J)", "", "", false},
    {"OverWrite", "上書保存(&O)", "", "", false},
    {"PastePicture", "画像の貼り付け", "クリップボードの画像を読み込む", "Ctrl+Shift+V", false},
    {"Exit", "終了(&X)", "", "", false},
    {"Paste", "貼り付け(&P) ", "", "", false},
    {"SaveOriginalImage", "変形前の画像(&B)", "", "", true},
    {"SaveDeformedImage", "変形後の画像(&A)", "", "", true},
    {"SaveNotResizeImage", "元の画像(&O)", "", "", true},
    {"Version", "バージョン情報(&V)", "", "", false},
    {"BugReport", "障害報告(&B)", "", "", false},
    {"ShowToolButtonPopup", "ツール・ボタン", "", "", true},
    // The main view's zoom, all pages at once, and the Delete key.
    {"acZoomIn", "表示を拡大(&I)", "画像の表示を拡大する", "Ctrl++", false},
    {"acZoomOut", "表示を縮小(&O)", "画像の表示を縮小する", "Ctrl+-", false},
    {"acZoomFit", "全体表示", "画像全体が見えるように表示する", "", false},
    {"acZoomActual", "等倍", "画像を等倍で表示する", "Ctrl+0", false},
    {"acShowAllPages", "全ページ表示", "全ページの座標を色分けして表示する", "", true},
    {"acDeleteKey", "削除", "", "Del", false},
};

// The icon tool bar: (button number, action); 0 ends a group.
struct SpeedButton {
    int number;
    const char* action;
};
const SpeedButton kSpeedButtons[] = {
    {0, "ProgramInitialozation"}, {1, "PublicLoadFile"}, {2, "PublicSaveFile"},
    {27, "SaveWorkSheetAsText"}, {-1, nullptr},
    {23, "acImageMagnification"}, {3, "acDeformationData"}, {4, "DoDataCovert"},
    {26, "ShowTraceWindow"}, {-1, nullptr},
    {5, "AddNewSheet"}, {6, "InsertNewSheet"}, {7, "DeleteSheet"}, {8, "GotoTop"},
    {9, "GotoEnd"}, {28, "SheetDataToClipboard"}, {-1, nullptr},
    {10, "EditData"}, {15, "DataSort"}, {14, "DataCut"}, {11, "DataCopy"}, {12, "DataPaste"},
    {13, "DataAllDelete"}, {16, "DataUndo"}, {17, "DataRedo"}, {-1, nullptr},
    {18, "acLinerInterpolation"}, {19, "acSquareInterpolate"}, {-1, nullptr},
    {20, "ShowScopeWindow"}, {24, "ImageWindow"}, {-1, nullptr},
    {25, "SheetConfigulation"}, {21, "DirectoryConfigulation"}, {-1, nullptr},
    {22, "acHelp"}, {-1, nullptr},
    // Buttons added after the original 29 keep numbering on.
    {29, "acZoomIn"}, {30, "acZoomOut"}, {31, "acZoomFit"}, {32, "acZoomActual"},
};

// One menu: its name, caption, and items; "-" is a separator, ">name|caption"
// opens a sub-menu that runs to "<".
struct MenuText {
    const char* name;
    const char* caption;
    std::initializer_list<const char*> items;
};
const MenuText kMenus[] = {
    {"popFile", "ファイル(&F)",
     {"ProgramInitialozation", ">popOpen|開く(&O)", "OpenData", "-", "OpenBitmap", "OpenJpeg",
      "OpenWmf", "OpenEmf", "<", "PastePicture", ">popSave|閉じる(&C)", "SaveData",
      "SaveWorkSheetAsText", "-", "SaveBitmap", "SaveJpeg", "<", "OverWrite", "-",
      ">popRecent|最近使ったファイル(&R)", "<", "-", "Exit"}},
    {"popGraph", "グラフ(&G)", {"acImageMagnification", "acDeformationData"}},
    {"popDeform", "数値化(&C)", {"DoDataCovert", "ShowTraceWindow"}},
    {"popSheet", "ワークシート(&W)",
     {"AddNewSheet", "InsertNewSheet", "DeleteSheet", "-", "GotoTop", "GotoEnd", "-",
      "SheetDataToClipboard"}},
    {"popEdit", "編集(&E)",
     {"EditData", "DataSort", "DataCut", "DataCopy", "Paste", "DataAllDelete", "RenameSheet", "-",
      "DataUndo", "DataRedo"}},
    {"popInterpolate", "補間処理(&P)", {"acLinerInterpolation", "acSquareInterpolate"}},
    {"popDisplay", "表示(&D)",
     {"ShowScopeWindow", "ImageWindow", "-", "ShowToolButton", "ShowCurrentDataInfo",
      "ShowCurrentSheetInfo", "acConnectLine", "-", "ShowHint", "-", "acZoomIn", "acZoomOut",
      "acZoomFit", "acZoomActual", "-", "acShowAllPages"}},
    {"popEnviroment", "環境設定(&K)",
     {"SplineConfigulation", "MakerSizeConfigularion", "SheetConfigulation",
      "DirectoryConfigulation", "-", "acSystem", "acMouse", "-",
      ">popTransferFormat|転送するデータ形式(&F)", "ExcelFormat", "CsvFormat", "PrnFormat", "<",
      ">popSaveImage|保存する画像(&I)", "SaveOriginalImage", "SaveDeformedImage",
      "SaveNotResizeImage", "<"}},
    {"popHelp", "ヘルプ(&H)", {"acHelp", "Version", "-", "acNewVersion", "BugReport"}},
};

} // namespace

QAction* TfrmMain::addAction(const QString& name, const QString& caption, const QString& hint,
                             const QKeySequence& shortcut)
{
    auto* act = new QAction(caption, this);
    act->setObjectName(name);
    // The hint is a tool tip only: as a status tip it would cover the status
    // bar's file name and modified panels.
    act->setToolTip(hint.isEmpty() ? QString() : hint);
    if (!shortcut.isEmpty()) {
        act->setShortcut(shortcut);
        act->setShortcutContext(Qt::WindowShortcut);
    }
    actions_.insert(name, act);
    QMainWindow::addAction(act); // shortcuts work while the tool bar is hidden
    return act;
}

void TfrmMain::createActions()
{
    for (const ActionText& a : kActions) {
        QAction* act = addAction(QString::fromUtf8(a.name), QString::fromUtf8(a.caption),
                                 QString::fromUtf8(a.hint), QKeySequence(QString::fromLatin1(a.shortcut)));
        act->setCheckable(a.checkable);
    }
    // A check mark alone: the handlers set the one checked item themselves.
    for (const char* name : {"ExcelFormat", "CsvFormat", "PrnFormat", "SaveOriginalImage",
                             "SaveDeformedImage", "SaveNotResizeImage"})
        action(QString::fromLatin1(name))->setData(QStringLiteral("radio"));
}

void TfrmMain::createMenus()
{
    for (const MenuText& m : kMenus) {
        auto* menu = new QMenu(QString::fromUtf8(m.caption), this);
        menu->setObjectName(QString::fromLatin1(m.name));
        menus_.insert(menu->objectName(), menu);
        QMenu* target = menu;
        for (const char* item : m.items) {
            const QString text = QString::fromUtf8(item);
            if (text == QLatin1String("-")) {
                target->addSeparator();
            } else if (text.startsWith(QLatin1Char('>'))) {
                const QStringList parts = text.mid(1).split(QLatin1Char('|'));
                target = menu->addMenu(parts.at(1));
                target->setObjectName(parts.at(0));
                menus_.insert(parts.at(0), target);
            } else if (text == QLatin1String("<")) {
                target = menu;
            } else {
                target->addAction(action(text));
            }
        }
    }

    auto* toolBarMenu = new QMenu(this);
    toolBarMenu->setObjectName(QStringLiteral("popToolBar"));
    toolBarMenu->addAction(action(QStringLiteral("ShowToolButtonPopup")));
    toolBarMenu->addAction(action(QStringLiteral("ShowCurrentDataInfo")));
    toolBarMenu->addAction(action(QStringLiteral("ShowCurrentSheetInfo")));
    toolBarMenu->addSeparator();
    toolBarMenu->addAction(action(QStringLiteral("ShowHint")));
    menus_.insert(toolBarMenu->objectName(), toolBarMenu);
    // The pop-up item is ShowToolButton under another caption.
    connect(toolBarMenu, &QMenu::aboutToShow, this, [this] {
        action(QStringLiteral("ShowToolButtonPopup"))
            ->setChecked(action(QStringLiteral("ShowToolButton"))->isChecked());
    });

    auto* markerMenu = new QMenu(this);
    markerMenu->setObjectName(QStringLiteral("popMarker"));
    markerMenu->addAction(action(QStringLiteral("DoDataCovert")));
    markerMenu->addAction(action(QStringLiteral("EditData")));
    markerMenu->addAction(action(QStringLiteral("acDeleteMarker")));
    menus_.insert(markerMenu->objectName(), markerMenu);
}

QMenu* TfrmMain::menu(const QString& name) const
{
    return menus_.value(name);
}

void TfrmMain::createToolBars()
{
    auto* box = static_cast<QVBoxLayout*>(pnMenu_->layout());

    tbMenu_ = new QToolBar(pnMenu_);
    tbMenu_->setObjectName(QStringLiteral("tbMenu"));
    tbMenu_->setMovable(false);
    tbMenu_->setFloatable(false);
    tbMenu_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tbMenu_->setStyleSheet(QStringLiteral("QToolButton { height: 20px; padding: 0px 6px; }"));
    for (const MenuText& m : kMenus) {
        QMenu* popup = menus_.value(QString::fromLatin1(m.name));
        auto* button = new QToolButton(tbMenu_);
        button->setObjectName(QStringLiteral("tb") + QString::fromLatin1(m.name).mid(3));
        button->setText(popup->title());
        button->setMenu(popup);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setAutoRaise(true);
        button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
        tbMenu_->addWidget(button);
    }
    box->addWidget(tbMenu_);

    tbSpeedButton_ = new QToolBar(pnMenu_);
    tbSpeedButton_->setObjectName(QStringLiteral("tbSpeedButton"));
    tbSpeedButton_->setMovable(false);
    tbSpeedButton_->setFloatable(false);
    tbSpeedButton_->setIconSize(QSize(20, 20));
    for (const SpeedButton& b : kSpeedButtons) {
        if (!b.action) {
            tbSpeedButton_->addSeparator();
            continue;
        }
        QAction* act = action(QString::fromLatin1(b.action));
        act->setIcon(toolIcon(act->objectName()));
        tbSpeedButton_->addAction(act);
        QWidget* button = tbSpeedButton_->widgetForAction(act);
        button->setObjectName(QStringLiteral("spButton%1").arg(b.number));
        button->installEventFilter(this);
    }
    box->addWidget(tbSpeedButton_);
    cbxSheetList_->installEventFilter(this);

    for (QToolBar* bar : {tbMenu_, tbSpeedButton_}) {
        bar->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(bar, &QWidget::customContextMenuRequested, this, [this, bar](const QPoint& pos) {
            menus_.value(QStringLiteral("popToolBar"))->popup(bar->mapToGlobal(pos));
        });
    }
}

void TfrmMain::onAction(const QString& name, void (TfrmMain::*handler)())
{
    connect(action(name), &QAction::triggered, this, [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
}

void TfrmMain::connectActions()
{
    onAction(QStringLiteral("ShowCurrentDataInfo"), &TfrmMain::ShowCurrentDataInfoExecute);
    onAction(QStringLiteral("ShowCurrentSheetInfo"), &TfrmMain::ShowCurrentSheetInfoExecute);
    onAction(QStringLiteral("ShowToolButton"), &TfrmMain::ShowToolButtonExecute);
    onAction(QStringLiteral("ShowToolButtonPopup"), &TfrmMain::ShowToolButtonExecute);
    onAction(QStringLiteral("ShowHint"), &TfrmMain::ShowHintExecute);
    onAction(QStringLiteral("acConnectLine"), &TfrmMain::acConnectLineExecute);
    onAction(QStringLiteral("DirectoryConfigulation"), &TfrmMain::DirectoryConfigulationExecute);
    connect(action(QStringLiteral("Exit")), &QAction::triggered, this, &QWidget::close);
    connect(action(QStringLiteral("Paste")), &QAction::triggered, action(QStringLiteral("DataPaste")),
            &QAction::trigger);

    const char* saveImages[3] = {"SaveOriginalImage", "SaveDeformedImage", "SaveNotResizeImage"};
    const char* formats[3] = {"ExcelFormat", "CsvFormat", "PrnFormat"};
    for (int i = 0; i < 3; ++i) {
        connect(action(QString::fromLatin1(saveImages[i])), &QAction::triggered, this,
                [this, i] { setSaveImageChoice(i); });
        connect(action(QString::fromLatin1(formats[i])), &QAction::triggered, this,
                [this, i] { setTransferFormat(i); });
    }
    // Actions whose windows come later keep their check as the window state
    // says, so a click does not leave a stale check mark.
    for (const char* name : {"acDeformationData", "EditData", "ShowScopeWindow", "DoDataCovert",
                             "ImageWindow", "ShowTraceWindow"}) {
        QAction* act = action(QString::fromLatin1(name));
        connect(act, &QAction::triggered, this, [this, act] {
            if (!windows_ || !windows_->handlesCheckedAction(act->objectName()))
                act->setChecked(false);
        });
    }
}

void TfrmMain::DirectoryConfigulationExecute()
{
    if (windows_)
        windows_->showDirectoryDialog();
}

} // namespace cvg
