// Pages, the sheet list, the grid of a million rows and the labels.
#include "GuiFixture.h"

#include "worksheet/TSheetGrid.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>

using namespace cvg;
using namespace cvg::test;

namespace {

QStringList tabTexts(TfrmMain& main)
{
    QStringList texts;
    for (int i = 0; i < main.pcSheet()->count(); ++i)
        texts << main.pcSheet()->tabText(i);
    return texts;
}

QStringList listTexts(TfrmMain& main)
{
    QStringList texts;
    for (int i = 0; i < main.cbxSheetList()->count(); ++i)
        texts << main.cbxSheetList()->itemText(i);
    return texts;
}

} // namespace

class WorksheetPanelTest : public GuiFixture {
protected:
    void trigger(const char* name) { main->action(QString::fromLatin1(name))->trigger(); }
};

TEST_F(WorksheetPanelTest, NewDocumentHasOnePageAndTheFirstRowInfo)
{
    start();
    main->show();
    QApplication::processEvents();
    EXPECT_EQ(tabTexts(*main), QStringList{"Page0"});
    EXPECT_EQ(listTexts(*main), QStringList{"Page0"});
    EXPECT_EQ(main->lblSheetInfomation()->text(), QStringLiteral("ページ: 1 列: 1"));
    TSheetGrid* grid = main->currentGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->model()->rowCount(), 1000000);
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("X"));
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Y"));
    EXPECT_EQ(grid->scrollBar()->minimum(), 1);
    EXPECT_EQ(grid->scrollBar()->maximum(), 1000000);
    EXPECT_EQ(grid->scrollBar()->pageStep(), grid->rowsInView());
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
}

TEST_F(WorksheetPanelTest, AddDeleteAndReuseOfPageNumbers)
{
    start();
    // A picture not yet calibrated stays in view while pages come and go.
    main->doc().images.workingImage = newPicture(40, 30);
    main->doc().images.workingImage.fill(Qt::black);
    main->doc().state.pictureLoaded = true;
    main->ShowWorkingImage();
    trigger("AddNewSheet");
    EXPECT_EQ(main->shownPicture(), main->doc().images.workingImage);
    trigger("AddNewSheet");
    EXPECT_EQ(tabTexts(*main), (QStringList{"Page0", "Page1", "Page2"}));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更あり"));
    EXPECT_EQ(main->pcSheet()->currentIndex(), 2);
    EXPECT_EQ(main->cbxSheetList()->currentIndex(), 2);

    main->pcSheet()->setCurrentIndex(1);
    dialogs.expectQuestion(QStringLiteral("ワークシートを削除しようとしています。\r\n削除しますか？"), MsgResult::No);
    trigger("DeleteSheet");
    EXPECT_EQ(tabTexts(*main), (QStringList{"Page0", "Page1", "Page2"}));
    dialogs.expectQuestion(QStringLiteral("ワークシートを削除しようとしています。\r\n削除しますか？"), MsgResult::Yes);
    trigger("DeleteSheet");
    EXPECT_EQ(tabTexts(*main), (QStringList{"Page0", "Page2"}));
    EXPECT_EQ(main->pcSheet()->currentIndex(), 1); // the page that followed
    EXPECT_EQ(listTexts(*main), (QStringList{"Page0", "Page2"}));
    EXPECT_EQ(main->cbxSheetList()->currentIndex(), 1);

    trigger("AddNewSheet");
    EXPECT_EQ(tabTexts(*main), (QStringList{"Page0", "Page2", "Page1"}));

    // A single page cannot be deleted: nothing is asked, nothing changes.
    main->ResetSheets();
    trigger("DeleteSheet");
    EXPECT_EQ(tabTexts(*main), QStringList{"Page0"});
    EXPECT_EQ(dialogs.shownTexts().count(), 2);
}

TEST_F(WorksheetPanelTest, InsertMovesCaptionsAndPointsRight)
{
    start();
    trigger("AddNewSheet");
    trigger("AddNewSheet");
    Worksheets& sheets = main->doc().sheets;
    ASSERT_TRUE(WritePoints(sheets.page(1), {{1, 1}}));
    ASSERT_TRUE(WritePoints(sheets.page(2), {{2, 2}, {3, 3}}));
    main->pcSheet()->setCurrentIndex(0);
    trigger("InsertNewSheet");
    EXPECT_EQ(tabTexts(*main), (QStringList{"Page0", "Page3", "Page1", "Page2"}));
    EXPECT_TRUE(sheets.page(1).points.empty());
    EXPECT_EQ(sheets.page(2).points, (std::vector<Point>{{1, 1}}));
    EXPECT_EQ(sheets.page(3).points, (std::vector<Point>{{2, 2}, {3, 3}}));
    EXPECT_EQ(main->pcSheet()->currentIndex(), 2);
    // The grids show the moved points.
    TSheetGrid* grid = main->sheetGrid(3);
    EXPECT_EQ(grid->model()->data(grid->model()->index(1, 0), Qt::DisplayRole).toString(), QStringLiteral("3"));

    // Insert on the last page: the new empty page is appended and current.
    main->pcSheet()->setCurrentIndex(3);
    trigger("InsertNewSheet");
    EXPECT_EQ(tabTexts(*main).last(), QStringLiteral("Page4"));
    EXPECT_EQ(main->pcSheet()->currentIndex(), 4);
    EXPECT_TRUE(sheets.page(4).points.empty());
}

TEST_F(WorksheetPanelTest, RenameKeepsTheCaptionForAnEmptyAnswer)
{
    start();
    dialogs.expectInput(QString());
    trigger("RenameSheet");
    EXPECT_EQ(tabTexts(*main), QStringList{"Page0"});
    EXPECT_EQ(dialogs.lastInputTitle, QStringLiteral("ワークシート名変更"));
    EXPECT_EQ(dialogs.lastInputPrompt, QStringLiteral("新しい名前"));
    EXPECT_EQ(dialogs.lastInputInitial, QStringLiteral("Page0"));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));

    dialogs.expectInput(QStringLiteral("測定データ"));
    trigger("RenameSheet");
    EXPECT_EQ(tabTexts(*main), QStringList{"測定データ"});
    EXPECT_EQ(listTexts(*main), QStringList{"測定データ"});
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更あり"));
}

TEST_F(WorksheetPanelTest, AMillionPointsScrollAndShowTheirRows)
{
    start();
    main->show();
    QApplication::processEvents();
    std::vector<Point> points(1000000);
    for (int i = 0; i < 1000000; ++i)
        points[size_t(i)] = {i, 2 * i};
    ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), std::move(points)));
    main->pointsChanged();
    trigger("GotoEnd");
    TSheetGrid* grid = main->currentGrid();
    EXPECT_EQ(grid->currentRow(), 1000000);
    EXPECT_EQ(grid->scrollBar()->value(), 1000000);
    EXPECT_EQ(main->lblSheetInfomation()->text(), QStringLiteral("ページ: 1 列: 1000000"));
    EXPECT_EQ(main->lblCoordinate()->text(), QStringLiteral("999999 1999998"));
    EXPECT_EQ(grid->model()->headerData(999999, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("1000000"));

    trigger("GotoTop");
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_EQ(main->lblCoordinate()->text(), QStringLiteral("0 0"));

    // The separate scroll bar moves the current row.
    grid->scrollBar()->setValue(500);
    EXPECT_EQ(grid->currentRow(), 500);
    EXPECT_EQ(main->doc().sheets.currentRow, 500);
}

TEST_F(WorksheetPanelTest, SwitchingPagesResetsRowStateAndDrawsThatPage)
{
    start();
    Document& doc = main->doc();
    doc.images.correctedImage = newPicture(50, 50);
    doc.calibration.Converted = true;
    trigger("AddNewSheet");
    ASSERT_TRUE(WritePoints(doc.sheets.page(0), {{10, 10}}));
    main->action(QStringLiteral("DoDataCovert"))->setChecked(true);
    doc.sheets.currentRow = 7;
    main->pcSheet()->setCurrentIndex(0);
    EXPECT_EQ(doc.sheets.currentIndex(), 0);
    EXPECT_EQ(doc.sheets.currentRow, 0);
    EXPECT_FALSE(main->action(QStringLiteral("DoDataCovert"))->isChecked());
    EXPECT_EQ(main->shownPicture().pixelColor(10, 40), QColor(0, 255, 0));

    // By the list.
    main->cbxSheetList()->setCurrentIndex(1);
    Q_EMIT main->cbxSheetList()->activated(1);
    EXPECT_EQ(doc.sheets.currentIndex(), 1);
    EXPECT_EQ(main->pcSheet()->currentIndex(), 1);
    EXPECT_EQ(main->shownPicture().pixelColor(10, 40), QColor(255, 255, 255));
}
