// The main window's start-up state, settings, actions, menus and toggles.
#include "GuiFixture.h"
#include "TestPictures.h"

#include "widgets/TPictureView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

using namespace cvg;
using namespace cvg::test;

namespace {

QStringList menuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

QList<QWidget*> speedButtons(TfrmMain& main)
{
    QList<QWidget*> buttons;
    auto* bar = main.findChild<QToolBar*>(QStringLiteral("tbSpeedButton"));
    for (QAction* a : bar->actions())
        if (!a->isSeparator())
            buttons << bar->widgetForAction(a);
    return buttons;
}

} // namespace

class MainWindowTest : public GuiFixture {};

TEST_F(MainWindowTest, FirstStartShowsAndStoresTheDefaults)
{
    start();
    main->show();
    QApplication::processEvents();

    EXPECT_EQ(main->windowTitle(), QStringLiteral("Curvegleaner32 for Windows Ver.1.27"));
    EXPECT_EQ(main->size(), QSize(1920 * 90 / 100, 1080 * 90 / 100));
    EXPECT_EQ(main->pos(), QPoint((1920 - 1728) / 2, (1080 - 972) / 2));
    EXPECT_TRUE(main->findChild<QWidget*>(QStringLiteral("pnDataInfoPanel"))->isVisible());
    EXPECT_TRUE(main->findChild<QWidget*>(QStringLiteral("pnSheetInfoPanel"))->isVisible());
    EXPECT_TRUE(main->findChild<QToolBar*>(QStringLiteral("tbSpeedButton"))->isVisible());
    EXPECT_EQ(main->pnSheet()->width(), 250);
    EXPECT_EQ(main->pcSheet()->tabPosition(), QTabWidget::North);
    EXPECT_TRUE(main->multiLineTabsInForce());
    for (const char* name : {"ShowCurrentDataInfo", "ShowCurrentSheetInfo", "ShowToolButton", "ShowHint",
                             "SaveOriginalImage", "ExcelFormat", "acConnectLine"})
        EXPECT_TRUE(main->action(QString::fromLatin1(name))->isChecked()) << name;
    for (const char* name : {"SaveDeformedImage", "SaveNotResizeImage", "CsvFormat", "PrnFormat"})
        EXPECT_FALSE(main->action(QString::fromLatin1(name))->isChecked()) << name;

    // The state of a new document.
    EXPECT_EQ(main->statusText(0), QStringLiteral("新規ファイル"));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
    EXPECT_EQ(main->statusText(2), QString());
    EXPECT_EQ(main->action(QStringLiteral("DataUndo"))->text(), QStringLiteral("元に戻す(&U)"));
    EXPECT_EQ(main->action(QStringLiteral("DataRedo"))->text(), QStringLiteral("元に戻すを取消す(&W)"));
    EXPECT_FALSE(main->action(QStringLiteral("DataUndo"))->isEnabled());
    EXPECT_FALSE(main->action(QStringLiteral("DataRedo"))->isEnabled());
    EXPECT_EQ(main->action(QStringLiteral("Paste"))->text(), QStringLiteral("貼り付け(&P) "));
    EXPECT_FALSE(main->action(QStringLiteral("Paste"))->isEnabled());
    EXPECT_FALSE(main->action(QStringLiteral("OverWrite"))->isEnabled());
    EXPECT_EQ(main->pcSheet()->count(), 1);
    EXPECT_EQ(main->pcSheet()->tabText(0), QStringLiteral("Page0"));
    EXPECT_EQ(main->imImage()->size(), QSize(0, 0));
    EXPECT_FALSE(main->prgBar()->isVisible());
    EXPECT_EQ(main->prgBar()->size(), QSize(150, 16));
    EXPECT_EQ(main->prgBar()->pos(), QPoint(main->statusBar()->width() - 150 - 16, 3));

    // All eleven values were created during start-up with their sizes.
    const std::pair<const char*, int> sizes[] = {
        {"Main", 286}, {"Directory", 264}, {"Deform", 8}, {"Edit", 8}, {"Image", 8},
        {"Magnification", 8}, {"Sheet", 8}, {"Spline", 12}, {"Mark", 16}, {"Scope", 12}, {"Trace", 16}};
    for (const auto& [name, size] : sizes) {
        const auto value = store.value(QString::fromLatin1(name));
        ASSERT_TRUE(value.has_value()) << name;
        EXPECT_EQ(value->size(), size) << name;
    }
    EXPECT_EQ(MainSettings::decode(*store.value(QStringLiteral("Main"))), MainSettings::defaults());
    EXPECT_EQ(windows->frmScope->storedExtra(0), 8421631);
    EXPECT_EQ(windows->frmTrace->storedExtra(0), 125);
    EXPECT_EQ(windows->frmTrace->storedExtra(1), 1);
    EXPECT_EQ(windows->frmSpline->storedExtra(0), 1);
    EXPECT_EQ(windows->generalMarkerSize(), 3);
    EXPECT_EQ(windows->fDirectory->DataDirectory(), QStringLiteral("/opt/cvg/"));
}

TEST_F(MainWindowTest, WronglySizedValuesAreReplacedAndOddSettingsApplied)
{
    MainSettings custom = MainSettings::defaults();
    custom.showDataInfo = 0;
    custom.showToolButtons = 0;
    custom.saveImageChoice = 2;
    custom.transferFormat = 1;
    custom.tabPosition = 3;
    custom.multiLineTabs = 0;
    custom.connectLine = 0;
    custom.sheetPanelWidth = 300;
    custom.reserved[0] = 0xAB;
    store.setValue(QStringLiteral("Main"), custom.encode());
    store.setValue(QStringLiteral("Directory"), QByteArray(263, 'x'));
    store.setValue(QStringLiteral("Trace"), QByteArray(17, '\1'));

    start();
    main->show();
    QApplication::processEvents();

    EXPECT_FALSE(main->findChild<QWidget*>(QStringLiteral("pnDataInfoPanel"))->isVisible());
    EXPECT_FALSE(main->findChild<QToolBar*>(QStringLiteral("tbSpeedButton"))->isVisible());
    EXPECT_TRUE(main->action(QStringLiteral("SaveNotResizeImage"))->isChecked());
    EXPECT_FALSE(main->action(QStringLiteral("SaveOriginalImage"))->isChecked());
    EXPECT_TRUE(main->action(QStringLiteral("CsvFormat"))->isChecked());
    EXPECT_FALSE(main->action(QStringLiteral("ExcelFormat"))->isChecked());
    EXPECT_FALSE(main->action(QStringLiteral("acConnectLine"))->isChecked());
    EXPECT_EQ(main->pcSheet()->tabPosition(), QTabWidget::East);
    EXPECT_TRUE(main->multiLineTabsInForce()); // side tabs always count as several rows
    EXPECT_EQ(main->pnSheet()->width(), 300);
    EXPECT_EQ(windows->fDirectory->DataDirectory(), QStringLiteral("/opt/cvg/"));
    EXPECT_EQ(store.value(QStringLiteral("Directory"))->size(), 264);
    EXPECT_EQ(windows->frmTrace->storedExtra(0), 125);

    // The reserved bytes go back as they were read.
    ASSERT_TRUE(closeMain());
    const MainSettings written = MainSettings::decode(*store.value(QStringLiteral("Main")));
    EXPECT_EQ(written.reserved[0], 0xAB);
    EXPECT_EQ(written.saveImageChoice, 2);

    // One byte short is a missing value: the defaults are written back.
    store.setValue(QStringLiteral("Main"), custom.encode().left(285));
    start();
    EXPECT_EQ(MainSettings::decode(*store.value(QStringLiteral("Main"))), MainSettings::defaults());
    EXPECT_TRUE(main->action(QStringLiteral("acConnectLine"))->isChecked());
}

TEST_F(MainWindowTest, UnavailableStoreLeavesAllViewSettingsOff)
{
    store.setAvailable(false);
    start();
    main->show();
    QApplication::processEvents();
    EXPECT_FALSE(main->findChild<QWidget*>(QStringLiteral("pnDataInfoPanel"))->isVisible());
    EXPECT_FALSE(main->findChild<QWidget*>(QStringLiteral("pnSheetInfoPanel"))->isVisible());
    EXPECT_FALSE(main->findChild<QToolBar*>(QStringLiteral("tbSpeedButton"))->isVisible());
    EXPECT_FALSE(main->action(QStringLiteral("ShowHint"))->isChecked());
    EXPECT_FALSE(main->multiLineTabsInForce());
    EXPECT_TRUE(main->action(QStringLiteral("SaveOriginalImage"))->isChecked()); // choice 0
    EXPECT_TRUE(closeMain());
    EXPECT_FALSE(store.value(QStringLiteral("Main")).has_value());
}

TEST_F(MainWindowTest, ToolBarsMenusAndActionsAreComplete)
{
    start();
    // The icon buttons, in order, each bound to its action.
    const QList<QWidget*> buttons = speedButtons(*main);
    // The zoom buttons come after the original 29.
    const int order[] = {0, 1, 2, 27, 23, 3, 4, 26, 5, 6, 7, 8, 9, 28, 10, 15, 14,
                         11, 12, 13, 16, 17, 18, 19, 20, 24, 25, 21, 22, 29, 30, 31, 32};
    ASSERT_EQ(buttons.size(), 33);
    for (int i = 0; i < 33; ++i)
        EXPECT_EQ(buttons[i]->objectName(), QStringLiteral("spButton%1").arg(order[i]));
    auto* help = qobject_cast<QToolButton*>(buttons[28]);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->defaultAction()->objectName(), QStringLiteral("acHelp"));
    EXPECT_EQ(help->toolTip(), QStringLiteral("ヘルプ・インデックスを開く"));
    EXPECT_FALSE(help->icon().isNull());

    // The nine drop-down buttons of the menu tool bar.
    auto* tbMenu = main->findChild<QToolBar*>(QStringLiteral("tbMenu"));
    QStringList captions;
    for (QAction* a : tbMenu->actions())
        if (auto* b = qobject_cast<QToolButton*>(tbMenu->widgetForAction(a)))
            captions << b->text();
    EXPECT_EQ(captions, (QStringList{"ファイル(&F)", "グラフ(&G)", "数値化(&C)", "ワークシート(&W)", "編集(&E)",
                                     "補間処理(&P)", "表示(&D)", "環境設定(&K)", "ヘルプ(&H)"}));

    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popFile"))),
              (QStringList{"新規ファイル", "開く(&O)", "画像の貼り付け", "閉じる(&C)", "上書保存(&O)", "-",
                           "最近使ったファイル(&R)", "-", "終了(&X)"}));
    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popOpen"))),
              (QStringList{"データ(&D)", "-", "ビットマップ(&B)", "JPEG(&J)", "WMF(&W)", "EMF(&E)"}));
    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popSave"))),
              (QStringList{"データ(&D)", "換算値", "-", "ビットマップ(&B)", "JPEG(&J)"}));
    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popEdit"))),
              (QStringList{"数値編集", "昇順でソート(&S)", "カット(&X)", "コピー(&C)", "貼り付け(&P) ",
                           "全て削除(&D)", "ワークシート名変更(&N)", "-", "元に戻す(&U)", "元に戻すを取消す(&W)"}));
    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popDisplay"))),
              (QStringList{"拡大表示窓(&S)", "画像全体(&A)", "-", "ツールボタン(&T)", "座標値と換算値(&D)",
                           "編集ページとセル(&S)", "座標を線で結ぶ(&C)", "-", "ヒント(&H)", "-", "表示を拡大(&I)",
                           "表示を縮小(&O)", "全体表示", "等倍", "-", "全ページ表示"}));
    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popEnviroment"))),
              (QStringList{"補間処理(&S)", "マーカサイズ(&M)", "ワークシート(&W)", "ディレクトリ(&D)", "-",
                           "システム情報(&E)", "マウス(&P)", "-", "転送するデータ形式(&F)", "保存する画像(&I)"}));
    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popSaveImage"))),
              (QStringList{"変形前の画像(&B)", "変形後の画像(&A)", "元の画像(&O)"}));
    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popHelp"))),
              (QStringList{"ヘルプ(&H)", "バージョン情報(&V)", "-", "最新版のチェック(&C)", "障害報告(&B)"}));
    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popToolBar"))),
              (QStringList{"ツール・ボタン", "座標値と換算値(&D)", "編集ページとセル(&S)", "-", "ヒント(&H)"}));
    EXPECT_EQ(menuTexts(main->menu(QStringLiteral("popMarker"))), (QStringList{"座標指定", "数値編集", "削除"}));

    const std::tuple<const char*, const char*, const char*> shortcuts[] = {
        {"AddNewSheet", "Ctrl+A", "ワークシートの追加"}, {"InsertNewSheet", "Ctrl+I", "ワークシートの挿入"},
        {"DeleteSheet", "Ctrl+D", "ワークシートの削除"}, {"DataCut", "Ctrl+X", "データのカット"},
        {"DataCopy", "Ctrl+C", "データのコピー"}, {"DataPaste", "Ctrl+V", "データの貼り付け"},
        {"acHelp", "F1", "ヘルプ・インデックスを開く"}};
    for (const auto& [name, key, hint] : shortcuts) {
        QAction* a = main->action(QString::fromLatin1(name));
        EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromLatin1(key))) << name;
        EXPECT_EQ(a->toolTip(), QString::fromUtf8(hint)) << name;
    }
}

TEST_F(MainWindowTest, ViewTogglesChangeTheWindowAndSurviveARestart)
{
    start();
    main->show();
    QApplication::processEvents();

    main->action(QStringLiteral("ShowHint"))->trigger();
    for (QWidget* button : speedButtons(*main))
        EXPECT_FALSE(TfrmMain::hintShown(button)) << button->objectName().toStdString();
    EXPECT_FALSE(TfrmMain::hintShown(main->cbxSheetList()));
    EXPECT_FALSE(main->action(QStringLiteral("ShowHint"))->isChecked());

    // A tool tip request on a button whose hints are off is swallowed.
    QWidget* button = speedButtons(*main).first();
    QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
    EXPECT_TRUE(main->eventFilter(button, &tip));

    main->action(QStringLiteral("ShowCurrentDataInfo"))->trigger();
    EXPECT_FALSE(main->findChild<QWidget*>(QStringLiteral("pnDataInfoPanel"))->isVisible());
    main->action(QStringLiteral("ShowToolButton"))->trigger();
    EXPECT_FALSE(main->findChild<QToolBar*>(QStringLiteral("tbSpeedButton"))->isVisible());
    main->action(QStringLiteral("SaveDeformedImage"))->trigger();
    EXPECT_TRUE(main->action(QStringLiteral("SaveDeformedImage"))->isChecked());
    EXPECT_FALSE(main->action(QStringLiteral("SaveOriginalImage"))->isChecked());
    main->action(QStringLiteral("PrnFormat"))->trigger();
    main->action(QStringLiteral("acConnectLine"))->trigger();
    EXPECT_FALSE(main->action(QStringLiteral("acConnectLine"))->isChecked());
    ASSERT_TRUE(closeMain());

    start();
    main->show();
    QApplication::processEvents();
    EXPECT_FALSE(main->action(QStringLiteral("ShowHint"))->isChecked());
    EXPECT_FALSE(TfrmMain::hintShown(speedButtons(*main).at(5)));
    EXPECT_FALSE(main->findChild<QWidget*>(QStringLiteral("pnDataInfoPanel"))->isVisible());
    EXPECT_TRUE(main->findChild<QWidget*>(QStringLiteral("pnSheetInfoPanel"))->isVisible());
    EXPECT_FALSE(main->findChild<QToolBar*>(QStringLiteral("tbSpeedButton"))->isVisible());
    EXPECT_TRUE(main->action(QStringLiteral("SaveDeformedImage"))->isChecked());
    EXPECT_TRUE(main->action(QStringLiteral("PrnFormat"))->isChecked());
    EXPECT_FALSE(main->action(QStringLiteral("ExcelFormat"))->isChecked());
    EXPECT_FALSE(main->action(QStringLiteral("acConnectLine"))->isChecked());

    // Hints back on: every button shows its hint as a tool tip again, and the
    // status bar keeps its panels' texts.
    main->action(QStringLiteral("ShowHint"))->trigger();
    const QString fileName = main->statusText(0);
    for (QWidget* b : speedButtons(*main)) {
        EXPECT_TRUE(TfrmMain::hintShown(b));
        QToolTip::hideText();
        QHelpEvent request(QEvent::ToolTip, QPoint(2, 2), b->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(b, &request);
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), b->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(b, &enter);
        const QString hint = qobject_cast<QToolButton*>(b)->defaultAction()->toolTip();
        EXPECT_FALSE(hint.isEmpty()) << b->objectName().toStdString();
        EXPECT_TRUE(QToolTip::isVisible()) << b->objectName().toStdString();
        EXPECT_EQ(QToolTip::text(), hint) << b->objectName().toStdString();
        EXPECT_EQ(main->statusText(0), fileName);
        EXPECT_TRUE(main->statusBar()->currentMessage().isEmpty()) << b->objectName().toStdString();
    }
    QToolTip::hideText();
}

TEST_F(MainWindowTest, SplitterRefusesTheMinimumWidth)
{
    start();
    main->show();
    QApplication::processEvents();
    QSplitter* splitter = main->splMain();
    const int total = splitter->sizes().value(0) + splitter->sizes().value(1);

    // What a drag of the handle ends in (the splitter reports the move).
    struct Access : QSplitter {
        using QSplitter::moveSplitter;
    };
    auto drag = [&](int sheetWidth) {
        static_cast<Access*>(splitter)->moveSplitter(splitter->width() - splitter->handleWidth() - sheetWidth, 1);
        QApplication::processEvents();
    };
    drag(150);
    EXPECT_EQ(main->pnSheet()->width(), 250);
    drag(151);
    EXPECT_EQ(main->pnSheet()->width(), 151);
    EXPECT_EQ(splitter->sizes().value(0) + splitter->sizes().value(1), total);
    ASSERT_TRUE(closeMain());
    EXPECT_EQ(MainSettings::decode(*store.value(QStringLiteral("Main"))).sheetPanelWidth, 151);
}

TEST_F(MainWindowTest, PointsAreDrawnOverTheCorrectedPicture)
{
    start();
    Document& doc = main->doc();
    doc.images.correctedImage = newPicture(60, 40);
    doc.calibration.Converted = true;
    main->RedrawPointMarkers(true);
    EXPECT_EQ(main->shownPicture(), doc.images.correctedImage);
    EXPECT_EQ(main->imImage()->size(), QSize(60, 40));
    EXPECT_EQ(main->pbGraph()->geometry(), main->imImage()->geometry());

    ASSERT_TRUE(WritePoints(doc.sheets.currentPage(), {{10, 30}, {50, 10}}));
    main->RedrawPointMarkers(true);
    const QImage& shown = main->shownPicture();
    // Picture rows count from the top: Y 30 is row 10.
    // The line leaving a point is drawn after its square; the square of the
    // last point lies over the line that ends at it.
    EXPECT_EQ(shown.pixelColor(10, 10), QColor(250, 0, 0));
    EXPECT_EQ(shown.pixelColor(12, 8), QColor(0, 255, 0));
    EXPECT_EQ(shown.pixelColor(7, 7), QColor(0, 128, 0));
    EXPECT_EQ(shown.pixelColor(50, 30), QColor(0, 255, 0));
    EXPECT_EQ(shown.pixelColor(30, 20), QColor(250, 0, 0)); // on the line between them
    EXPECT_FALSE(main->prgBar()->isVisible());
    EXPECT_EQ(main->prgBar()->value(), 0);
    // The corrected picture itself is never drawn on.
    EXPECT_EQ(doc.images.correctedImage.pixelColor(10, 10), QColor(255, 255, 255));
}

TEST_F(MainWindowTest, DirectoryDialogChoosesCancelsAndStores)
{
    start();
    TfDirectory* dialog = windows->fDirectory;
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ディレクトリの指定"));
    dialog->show();
    EXPECT_EQ(dialog->edtDirectory()->text(), QStringLiteral("/opt/cvg/"));

    dialogs.expectFolder(std::nullopt);
    dialog->butChangeClick();
    EXPECT_EQ(dialog->DataDirectory(), QStringLiteral("/opt/cvg/"));

    dialogs.expectFolder(QStringLiteral("/data/グラフ/"));
    dialog->butChangeClick();
    EXPECT_EQ(dialog->edtDirectory()->text(), QStringLiteral("/data/グラフ/"));
    dialog->butCancelClick();
    EXPECT_EQ(dialog->edtDirectory()->text(), QStringLiteral("/opt/cvg/"));
    EXPECT_EQ(dialog->DataDirectory(), QStringLiteral("/data/グラフ/"));
    dialog->move(40, 50);
    dialog->findChild<QPushButton*>(QStringLiteral("butClose"))->click();
    EXPECT_FALSE(dialog->isVisible());

    const DirectorySettings stored = DirectorySettings::decode(*store.value(QStringLiteral("Directory")));
    EXPECT_EQ(stored.path(), QStringLiteral("/data/グラフ/"));
    EXPECT_EQ(stored.left, dialog->x());
    EXPECT_EQ(stored.top, dialog->y());

    start();
    EXPECT_EQ(windows->fDirectory->DataDirectory(), QStringLiteral("/data/グラフ/"));
    EXPECT_EQ(windows->fDirectory->startupDirectory(), QStringLiteral("/data/グラフ/"));
}

TEST_F(MainWindowTest, ToolWindowsFirstStandBesideThePictureThenWhereTheyWereLeft)
{
    start();
    main->show();
    QApplication::processEvents();
    const QWidget* menus = main->findChild<QWidget*>(QStringLiteral("pnMenu"));
    const QRect menuArea(menus->mapToGlobal(QPoint(0, 0)), menus->size());
    const QWidget* view = main->sbImage()->viewport();
    const QRect pictureCorner(view->mapToGlobal(QPoint(0, 0)), QSize(300, 300));
    const std::vector<QWidget*> tools = {windows->frmTrace, windows->fImage, windows->frmScope,
                                         main->findChild<QWidget*>(QStringLiteral("fDeform")),
                                         main->findChild<QWidget*>(QStringLiteral("fEditData")),
                                         main->findChild<QWidget*>(QStringLiteral("fMarker"))};
    QSet<int> lefts;
    for (QWidget* tool : tools) {
        tool->show();
        QApplication::processEvents();
        const QRect frame = tool->frameGeometry();
        EXPECT_FALSE(frame.intersects(menuArea)) << tool->objectName().toStdString();
        EXPECT_FALSE(frame.intersects(pictureCorner)) << tool->objectName().toStdString();
        lefts.insert(frame.right());
    }
    EXPECT_EQ(lefts.size(), int(tools.size())); // cascaded, not on top of each other
    windows->frmScope->move(40, 50);
    ASSERT_TRUE(closeMain());

    // A stored place is used as it is.
    start();
    main->show();
    windows->frmScope->show();
    QApplication::processEvents();
    EXPECT_EQ(windows->frmScope->pos(), QPoint(40, 50));
}
