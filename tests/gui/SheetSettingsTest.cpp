// The worksheet settings dialog: tab position, multi-line tabs, tab height,
// row height and its own place.
#include "GuiFixture.h"

#include "platform/ByteIO.h"
#include "widgets/TPageControl.h"
#include "worksheet/TSheetGrid.h"
#include "widgets/TUpDown.h"
#include "worksheet/TfrmSheet.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace cvg;
using namespace cvg::test;

namespace {

QByteArray position(int32_t left, int32_t top)
{
    QByteArray bytes;
    putI32(bytes, left);
    putI32(bytes, top);
    return bytes;
}

int rowHeightOf(TSheetGrid* grid)
{
    return grid->view()->verticalHeader()->defaultSectionSize();
}

// The row's text fits between its grid lines, in the cells and the row numbers.
bool digitsFit(TSheetGrid* grid)
{
    const int room = rowHeightOf(grid) - 1;
    return QFontMetrics(grid->view()->font()).height() < room
        && QFontMetrics(grid->view()->verticalHeader()->font()).height() < room;
}

} // namespace

class SheetSettingsTest : public GuiFixture {
protected:
    void startAndShow()
    {
        start();
        main->show();
        QApplication::processEvents();
        sheet = static_cast<TfrmSheet*>(windows->frmSheet);
    }
    // Opens the dialog through its command, runs the checks while it is
    // shown, then closes it with its button.
    void whileShown(const std::function<void()>& checks)
    {
        bool ran = false;
        QTimer::singleShot(0, sheet, [&] {
            ran = true;
            checks();
            sheet->findChild<QPushButton*>(QStringLiteral("butClose"))->click();
        });
        main->action(QStringLiteral("SheetConfigulation"))->trigger();
        EXPECT_TRUE(ran);
    }
    void choosePosition(int index)
    {
        sheet->cbTabPosition()->setCurrentIndex(index);
        Q_EMIT sheet->cbTabPosition()->activated(index);
    }
    QAction* command() const { return main->action(QStringLiteral("SheetConfigulation")); }

    TfrmSheet* sheet = nullptr;
};

TEST_F(SheetSettingsTest, FirstStartControlsAndDefaults)
{
    startAndShow();
    // Nothing stored: the defaults are in force and "Sheet" is written at once.
    EXPECT_EQ(store.value(QStringLiteral("Sheet")), position(0, 0));
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("ワークシートの設定"));
    EXPECT_EQ(sheet->objectName(), QStringLiteral("frmSheet"));
    EXPECT_EQ(command()->text(), QStringLiteral("ワークシート(&W)"));
    EXPECT_EQ(command()->toolTip(), QStringLiteral("ワークシートの設定"));

    EXPECT_EQ(sheet->findChild<QGroupBox*>(QStringLiteral("gbTabSetting"))->title(),
        QStringLiteral("タブ設定(&T)"));
    EXPECT_EQ(sheet->findChild<QGroupBox*>(QStringLiteral("gbCellSetting"))->title(),
        QStringLiteral("セル設定(&S)"));
    QComboBox* list = sheet->cbTabPosition();
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->itemText(0) + list->itemText(1) + list->itemText(2) + list->itemText(3),
        QStringLiteral("上側下側左側右側"));
    EXPECT_FALSE(list->isEditable());
    EXPECT_EQ(list->toolTip(), QStringLiteral("タブ表示位置リスト"));
    EXPECT_EQ(sheet->cbMultiLine()->text(), QStringLiteral("マルチライン"));
    EXPECT_EQ(sheet->cbMultiLine()->toolTip(), QStringLiteral("タブを複数行で表示"));
    for (const auto& [ud, field, udHint, fieldHint] :
        { std::tuple { "udTabHeight", "edtTabHeight", "タブの高さ調節", "タブの高さ" },
            std::tuple { "udDefaultRowHeight", "edtDefaultRowHeight", "セルの高さ調節", "セルの高さ" } }) {
        auto* upDown = sheet->findChild<TUpDown*>(QString::fromLatin1(ud));
        ASSERT_NE(upDown, nullptr) << ud;
        EXPECT_EQ(upDown->field()->objectName(), QString::fromLatin1(field));
        EXPECT_TRUE(upDown->field()->isReadOnly());
        EXPECT_EQ(upDown->minimum(), 14);
        EXPECT_EQ(upDown->maximum(), 30);
        EXPECT_FALSE(upDown->wrapping());
        EXPECT_EQ(upDown->toolTip(), QString::fromUtf8(udHint));
        EXPECT_EQ(upDown->field()->toolTip(), QString::fromUtf8(fieldHint));
    }
    QStringList labels;
    for (QLabel* label : sheet->findChildren<QLabel*>())
        labels << label->text();
    labels.sort();
    EXPECT_EQ(
        labels, (QStringList { QStringLiteral("表示位置"), QStringLiteral("高さ"), QStringLiteral("高さ") }));
    EXPECT_EQ(
        sheet->findChild<QPushButton*>(QStringLiteral("butClose"))->text(), QStringLiteral("閉じる(&C)"));
    EXPECT_EQ(
        sheet->findChild<QPushButton*>(QStringLiteral("butHelp"))->text(), QStringLiteral("ヘルプ(&C)"));

    // Opening shows the settings in force, the command checked meanwhile.
    EXPECT_FALSE(command()->isChecked());
    whileShown([&] {
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_TRUE(sheet->isModal());
        EXPECT_TRUE(command()->isChecked());
        EXPECT_EQ(sheet->cbTabPosition()->currentIndex(), 0);
        EXPECT_EQ(sheet->udTabHeight()->value(), 16);
        EXPECT_EQ(sheet->udDefaultRowHeight()->value(), 16);
        EXPECT_TRUE(sheet->cbMultiLine()->isChecked());
        EXPECT_TRUE(sheet->cbMultiLine()->isEnabled());
        sheet->move(120, 80);
    });
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(command()->isChecked());
    // Closing wrote the place; opening changed no setting.
    EXPECT_EQ(store.value(QStringLiteral("Sheet")), position(120, 80));
    EXPECT_EQ(main->settings(), MainSettings::defaults());
}

TEST_F(SheetSettingsTest, SideTabsForceSeveralRows)
{
    startAndShow();
    whileShown([&] {
        choosePosition(2); // 左側
        EXPECT_FALSE(sheet->cbMultiLine()->isEnabled());
        EXPECT_TRUE(sheet->cbMultiLine()->isChecked());
        EXPECT_EQ(main->settings().tabPosition, 2);
        EXPECT_EQ(main->settings().multiLineTabs, 1);
        EXPECT_EQ(main->pcSheet()->tabPosition(), QTabWidget::West);
        EXPECT_TRUE(main->multiLineTabsInForce());

        // Back at the top the box is free again and keeps the rows on.
        choosePosition(0);
        EXPECT_TRUE(sheet->cbMultiLine()->isEnabled());
        EXPECT_TRUE(sheet->cbMultiLine()->isChecked());
        EXPECT_EQ(main->pcSheet()->tabPosition(), QTabWidget::North);
        EXPECT_EQ(main->settings().multiLineTabs, 1);

        // Off at the bottom: one row of tabs.
        sheet->cbMultiLine()->click();
        EXPECT_EQ(main->settings().multiLineTabs, 0);
        EXPECT_FALSE(main->multiLineTabsInForce());
        choosePosition(1);
        EXPECT_EQ(main->pcSheet()->tabPosition(), QTabWidget::South);
        EXPECT_FALSE(sheet->cbMultiLine()->isChecked());
        EXPECT_FALSE(main->multiLineTabsInForce());

        // On the right the setting is switched on again.
        choosePosition(3);
        EXPECT_EQ(main->pcSheet()->tabPosition(), QTabWidget::East);
        EXPECT_EQ(main->settings().multiLineTabs, 1);
        EXPECT_TRUE(sheet->cbMultiLine()->isChecked());
        EXPECT_TRUE(main->multiLineTabsInForce());
    });
    // The box stays disabled between showings; the dialog shows the side position.
    whileShown([&] {
        EXPECT_EQ(sheet->cbTabPosition()->currentIndex(), 3);
        EXPECT_FALSE(sheet->cbMultiLine()->isEnabled());
    });

    // The settings go into "Main" when the main window closes and come back.
    ASSERT_TRUE(closeMain());
    const MainSettings written = MainSettings::decode(*store.value(QStringLiteral("Main")));
    EXPECT_EQ(written.tabPosition, 3);
    EXPECT_EQ(written.multiLineTabs, 1);
    startAndShow();
    EXPECT_EQ(main->pcSheet()->tabPosition(), QTabWidget::East);
}

TEST_F(SheetSettingsTest, TabHeightStepsWithinItsRange)
{
    startAndShow();
    whileShown([&] {
        TUpDown* ud = sheet->udTabHeight();
        ud->stepBy(1);
        EXPECT_EQ(main->settings().tabHeight, 17);
        EXPECT_EQ(ud->field()->text(), QStringLiteral("17"));
        QApplication::processEvents();
        const int at17 = main->pcSheet()->tabBar()->sizeHint().height();
        ud->stepBy(13);
        EXPECT_EQ(main->settings().tabHeight, 30);
        QApplication::processEvents();
        EXPECT_EQ(main->pcSheet()->tabBar()->sizeHint().height(), at17 + 13);
        // The arrows stop at 30 and at 14.
        ud->stepBy(1);
        EXPECT_EQ(ud->value(), 30);
        EXPECT_EQ(main->settings().tabHeight, 30);
        ud->stepBy(-40);
        EXPECT_EQ(ud->value(), 14);
        EXPECT_EQ(main->settings().tabHeight, 14);
        ud->stepBy(-1);
        EXPECT_EQ(main->settings().tabHeight, 14);
    });
}

TEST_F(SheetSettingsTest, RowHeightReachesPagesAsTheyBecomeCurrent)
{
    startAndShow();
    main->action(QStringLiteral("AddNewSheet"))->trigger();
    main->pcSheet()->setCurrentIndex(1);
    QApplication::processEvents();
    ASSERT_EQ(rowHeightOf(main->sheetGrid(0)), 16);
    ASSERT_EQ(rowHeightOf(main->sheetGrid(1)), 16);
    EXPECT_TRUE(digitsFit(main->sheetGrid(1)));
    // The window's own text size where it fits.
    EXPECT_EQ(QFontInfo(main->sheetGrid(1)->view()->font()).pixelSize(), QFontInfo(main->font()).pixelSize());

    whileShown([&] {
        sheet->udDefaultRowHeight()->stepBy(14);
        EXPECT_EQ(main->settings().rowHeight, 30);
        // The current page at once, the other one not yet.
        EXPECT_EQ(rowHeightOf(main->sheetGrid(1)), 30);
        EXPECT_EQ(rowHeightOf(main->sheetGrid(0)), 16);
        sheet->udDefaultRowHeight()->stepBy(1);
        EXPECT_EQ(sheet->udDefaultRowHeight()->value(), 30);
    });
    main->pcSheet()->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_EQ(rowHeightOf(main->sheetGrid(0)), 30);
    main->action(QStringLiteral("AddNewSheet"))->trigger();
    EXPECT_EQ(rowHeightOf(main->sheetGrid(2)), 30);

    whileShown([&] {
        sheet->udDefaultRowHeight()->stepBy(-100);
        EXPECT_EQ(main->settings().rowHeight, 14);
        EXPECT_EQ(rowHeightOf(main->currentGrid()), 14);
        for (int height = 14; height <= 30; ++height) {
            sheet->udDefaultRowHeight()->setValue(height);
            EXPECT_TRUE(digitsFit(main->currentGrid())) << height;
        }
    });
}

TEST_F(SheetSettingsTest, StoredPlaceAndStoredSettingsOutsideTheRange)
{
    store.setValue(QStringLiteral("Sheet"), position(300, 200));
    MainSettings custom = MainSettings::defaults();
    custom.tabPosition = 2;
    custom.multiLineTabs = 0;
    custom.tabHeight = 0x00010014; // only the low 16 bits count: 20
    custom.rowHeight = 40;
    store.setValue(QStringLiteral("Main"), custom.encode());
    startAndShow();
    EXPECT_EQ(sheet->pos(), QPoint(300, 200));
    whileShown([&] {
        EXPECT_EQ(sheet->cbTabPosition()->currentIndex(), 2);
        // Opening does not force the box for a stored side position.
        EXPECT_FALSE(sheet->cbMultiLine()->isChecked());
        EXPECT_TRUE(sheet->cbMultiLine()->isEnabled());
        EXPECT_EQ(sheet->udTabHeight()->value(), 20);
        EXPECT_EQ(sheet->udDefaultRowHeight()->value(), 30);
        // Showing a stored value the arrows cannot reach changes nothing.
        EXPECT_EQ(main->settings().rowHeight, 40);
        EXPECT_EQ(main->settings().tabHeight, 0x00010014);
    });

    // A value of another size is replaced by the top-left corner.
    store.setValue(QStringLiteral("Sheet"), QByteArray(9, '\x01'));
    startAndShow();
    EXPECT_EQ(sheet->pos(), QPoint(0, 0));
    EXPECT_EQ(store.value(QStringLiteral("Sheet")), position(0, 0));
}

TEST_F(SheetSettingsTest, UnavailableStoreWritesNothing)
{
    store.setAvailable(false);
    startAndShow();
    EXPECT_EQ(sheet->pos(), QPoint(0, 0));
    whileShown([&] { sheet->move(40, 40); });
    EXPECT_FALSE(store.values().contains(QStringLiteral("Sheet")));
}

TEST_F(SheetSettingsTest, HelpKeepsTheDialogOnTopAndOpen)
{
    startAndShow();
    bool helped = false;
    bool stillOpen = false;
    QTimer::singleShot(0, sheet, [&] {
        helped = true;
        EXPECT_FALSE(sheet->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        dialogs.expectInfo(QStringLiteral("/opt/cvg/cvghelp.chmファイルが見つかりませんでした"));
        sheet->findChild<QPushButton*>(QStringLiteral("butHelp"))->click();
        // The dialog must still be running modally once the events are handled.
        QTimer::singleShot(0, sheet, [&] {
            stillOpen = true;
            EXPECT_TRUE(sheet->isVisible());
            EXPECT_TRUE(sheet->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            EXPECT_TRUE(command()->isChecked());
            sheet->findChild<QPushButton*>(QStringLiteral("butClose"))->click();
        });
    });
    command()->trigger();
    EXPECT_TRUE(helped);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(command()->isChecked());
}

TEST_F(SheetSettingsTest, TabsWrapIntoRowsWithTheCurrentRowNextToThePage)
{
    startAndShow();
    for (int i = 0; i < 7; ++i)
        main->action(QStringLiteral("AddNewSheet"))->trigger();
    QApplication::processEvents();
    auto* bar = static_cast<TPageTabBar*>(main->pcSheet()->tabBar());
    ASSERT_EQ(bar->count(), 8);
    ASSERT_TRUE(bar->multiRow());
    ASSERT_GE(bar->rowCount(), 2);
    const int thickness = main->settings().tabHeight;
    EXPECT_EQ(bar->height(), bar->rowCount() * thickness);

    // Every tab is whole inside the bar and the rows are filled to its width;
    // the current tab's row touches the page below the bar.
    auto checkRows = [&](QTabWidget::TabPosition side) {
        QRect all;
        for (int i = 0; i < bar->count(); ++i) {
            const QRect r = bar->pageTabRect(i);
            EXPECT_TRUE(bar->rect().contains(r)) << i;
            all |= r;
        }
        EXPECT_EQ(all, bar->rect());
        const QRect current = bar->pageTabRect(bar->currentIndex());
        switch (side) {
        case QTabWidget::North: EXPECT_EQ(current.bottom(), bar->rect().bottom()); break;
        case QTabWidget::South: EXPECT_EQ(current.top(), 0); break;
        case QTabWidget::West: EXPECT_EQ(current.right(), bar->rect().right()); break;
        case QTabWidget::East: EXPECT_EQ(current.left(), 0); break;
        }
    };
    checkRows(QTabWidget::North);
    EXPECT_LE(bar->geometry().bottom(), main->currentGrid()->mapTo(main->pcSheet(), QPoint(0, 0)).y());

    // A click on a tab of the farthest row shows its page and brings its row
    // next to the page.
    int far = -1;
    for (int i = 0; i < bar->count() && far < 0; ++i)
        if (bar->pageTabRect(i).top() == 0)
            far = i;
    ASSERT_GE(far, 0);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->pageTabRect(far).center());
    EXPECT_EQ(main->doc().sheets.currentIndex(), far);
    EXPECT_EQ(main->cbxSheetList()->currentIndex(), far);
    checkRows(QTabWidget::North);

    whileShown([&] {
        choosePosition(2); // tabs in columns on the left
        QApplication::processEvents();
        EXPECT_TRUE(bar->multiRow());
        EXPECT_EQ(bar->width(), bar->rowCount() * thickness);
        checkRows(QTabWidget::West);
        choosePosition(1);
        QApplication::processEvents();
        checkRows(QTabWidget::South);
        // One row at the bottom: Qt's own bar, scrolling.
        sheet->cbMultiLine()->click();
        QApplication::processEvents();
        EXPECT_FALSE(bar->multiRow());
        EXPECT_EQ(bar->rowCount(), 1);
        EXPECT_TRUE(bar->usesScrollButtons());
    });
}
