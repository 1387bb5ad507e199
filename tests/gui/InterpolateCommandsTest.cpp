// The two interpolation commands and the interpolation settings window.
#include "GuiFixture.h"

#include "platform/ByteIO.h"
#include "interpolate/InterpolateCommands.h"
#include "widgets/TUpDown.h"
#include "interpolate/TfrmSpline.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

using namespace cvg;
using namespace cvg::test;

namespace {

std::vector<int> xs(const std::vector<Point>& points)
{
    std::vector<int> out;
    for (const Point& p : points)
        out.push_back(p.X);
    return out;
}

const QString kFallback
    = QStringLiteral("データ数が不足するため、曲線に適した数値補間をすることができません。\r\n"
                     "直線に適した数値補間で処理を続けますか？");

} // namespace

class InterpolateCommandsTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        start();
        main->show();
        Document& doc = main->doc();
        doc.images.workingImage = newPicture(300, 400);
        doc.images.correctedImage = newPicture(300, 400);
        doc.state.pictureLoaded = true;
        main->RedrawPointMarkers(false);
        spline = static_cast<TfrmSpline*>(windows->frmSpline);
    }
    void setPoints(std::vector<Point> points)
    {
        ASSERT_TRUE(WritePoints(main->doc().sheets.currentPage(), std::move(points)));
        main->pointsChanged();
    }
    void linear() { main->action(QStringLiteral("acLinerInterpolation"))->trigger(); }
    void curve() { main->action(QStringLiteral("acSquareInterpolate"))->trigger(); }
    Worksheets& sheets() { return main->doc().sheets; }
    std::vector<Point>& points() { return sheets().currentPage().points; }
    void expectUnchanged(const std::vector<Point>& before)
    {
        EXPECT_EQ(sheets().pageCount(), 1);
        EXPECT_EQ(points(), before);
        EXPECT_FALSE(main->doc().state.modified);
        EXPECT_EQ(main->pcSheet()->count(), 1);
    }

    TfrmSpline* spline = nullptr;
};

TEST_F(InterpolateCommandsTest, ChecksInTheirOrder)
{
    main->doc().state.pictureLoaded = false;
    setPoints({ { 10, 1 } });
    dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
    linear();
    dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
    curve();
    main->doc().state.pictureLoaded = true;

    setPoints({});
    dialogs.expectWarning(QStringLiteral("ワークシートに座標データがありません。"));
    linear();
    dialogs.expectWarning(QStringLiteral("ワークシートに座標データがありません。"));
    curve();
    setPoints({ { 10, 1 } });
    dialogs.expectWarning(QStringLiteral("補間処理には２つ以上の座標データが必要です。"));
    linear();
    dialogs.expectWarning(QStringLiteral("補間処理には２つ以上の座標データが必要です。"));
    curve();
    expectUnchanged({ { 10, 1 } });

    // Two points: the spline command offers the straight line; No ends it.
    setPoints({ { 30, 5 }, { 10, 1 } });
    dialogs.expectMessage(kFallback, MsgIcon::Warning, MsgButtons::YesNo, MsgResult::No);
    curve();
    expectUnchanged({ { 30, 5 }, { 10, 1 } });

    // Unsorted: the sort offer; No (or a closed box) leaves everything as it was.
    const QString sortQuestion
        = QStringLiteral("補間処理の前に、ソートする必要があります。\r\nソート処理を行いますか？");
    dialogs.expectMessage(sortQuestion, MsgIcon::Warning, MsgButtons::YesNo, MsgResult::No);
    linear();
    dialogs.expectMessage(sortQuestion, MsgIcon::Warning, MsgButtons::YesNo, MsgResult::Closed);
    linear();
    expectUnchanged({ { 30, 5 }, { 10, 1 } });

    // Equal neighbours pass the order check and fail the duplicate check.
    const QString duplicate
        = QStringLiteral("Xに同じ値を持つ座標が存在します。\r\n補間処理を行う前に削除する必要があります。");
    setPoints({ { 10, 1 }, { 20, 4 }, { 20, 9 }, { 30, 2 } });
    dialogs.expectMessage(duplicate, MsgIcon::Error, MsgButtons::OK, MsgResult::OK);
    curve();
    expectUnchanged({ { 10, 1 }, { 20, 4 }, { 20, 9 }, { 30, 2 } });

    // Sorted on Yes, then refused for the repeat; the sort is a change of the
    // document and marks it.
    setPoints({ { 30, 2 }, { 20, 9 }, { 10, 1 }, { 20, 4 } });
    dialogs.expectMessage(sortQuestion, MsgIcon::Warning, MsgButtons::YesNo, MsgResult::Yes);
    dialogs.expectMessage(duplicate, MsgIcon::Error, MsgButtons::OK, MsgResult::OK);
    linear();
    EXPECT_EQ(points(), (std::vector<Point> { { 10, 1 }, { 20, 4 }, { 20, 9 }, { 30, 2 } }));
    EXPECT_EQ(sheets().pageCount(), 1);
    EXPECT_TRUE(main->doc().state.modified);
}

TEST_F(InterpolateCommandsTest, SampleDistancesOneAndSeven)
{
    setPoints({ { 10, 100 }, { 20, 200 }, { 30, 100 } });
    main->action(QStringLiteral("DoDataCovert"))->setChecked(true);
    dialogs.expectQuestion(QStringLiteral("計算された補間値を採用しますか？"), MsgResult::Yes);
    linear();
    ASSERT_EQ(sheets().pageCount(), 2);
    EXPECT_EQ(sheets().currentIndex(), 1);
    ASSERT_EQ(points().size(), 21u);
    for (int i = 0; i <= 20; ++i) {
        const int x = 10 + i;
        EXPECT_EQ(points()[size_t(i)], (Point { x, x <= 20 ? 100 + 10 * (x - 10) : 200 - 10 * (x - 20) }));
    }
    EXPECT_EQ(sheets().currentPage().caption, QStringLiteral("Page0 直補"));
    EXPECT_EQ(main->pcSheet()->count(), 2);
    EXPECT_EQ(main->pcSheet()->tabText(1), QStringLiteral("Page0 直補"));
    EXPECT_EQ(main->cbxSheetList()->itemText(1), QStringLiteral("Page0 直補"));
    EXPECT_EQ(main->pcSheet()->currentIndex(), 1);
    EXPECT_TRUE(main->doc().state.modified);
    EXPECT_FALSE(main->action(QStringLiteral("DoDataCovert"))->isChecked());
    // The overview was shown for the result.
    EXPECT_TRUE(windows->fImage->isVisible());
    EXPECT_TRUE(main->action(QStringLiteral("ImageWindow"))->isChecked());
    // The source page is kept as it was.
    EXPECT_EQ(sheets().page(0).points, (std::vector<Point> { { 10, 100 }, { 20, 200 }, { 30, 100 } }));

    // Distance 7: 10, 17, 24; 30 is not a multiple of 7 away from 10.
    main->pcSheet()->setCurrentIndex(0);
    ASSERT_EQ(sheets().currentIndex(), 0);
    spline->udDistance()->setValue(7);
    EXPECT_EQ(spline->sampleDistance(), 7);
    dialogs.expectQuestion(QStringLiteral("計算された補間値を採用しますか？"), MsgResult::Yes);
    linear();
    ASSERT_EQ(sheets().pageCount(), 3);
    EXPECT_EQ(points(), (std::vector<Point> { { 10, 100 }, { 17, 170 }, { 24, 160 } }));
    EXPECT_EQ(sheets().currentPage().caption, QStringLiteral("Page0 直補"));
}

TEST_F(InterpolateCommandsTest, SplineAndTheTwoPointFallback)
{
    // Three points: sigma1 = (D1 - D0) / (2 (h0 + h1)) = -0.5, so the value
    // at 15 is 100 + 5 (15 + 5 (5 x -0.05)) = 168.75.
    setPoints({ { 10, 100 }, { 20, 200 }, { 30, 100 } });
    main->doc().sheets.currentPage().caption = QStringLiteral("Run 曲補");
    dialogs.expectQuestion(QStringLiteral("計算された補間値を採用しますか？"), MsgResult::Yes);
    curve();
    ASSERT_EQ(points().size(), 21u);
    EXPECT_EQ(points()[0], (Point { 10, 100 }));
    EXPECT_EQ(points()[5], (Point { 15, 169 }));
    EXPECT_EQ(points()[10], (Point { 20, 200 }));
    EXPECT_EQ(points()[15], (Point { 25, 169 }));
    EXPECT_EQ(points()[20], (Point { 30, 100 }));
    // A caption that already ends with a suffix gets another one.
    EXPECT_EQ(sheets().currentPage().caption, QStringLiteral("Run 曲補 曲補"));

    // Two points and Yes to the fallback: the straight line and its suffix.
    main->pcSheet()->setCurrentIndex(0);
    setPoints({ { 0, 0 }, { 4, 10 } });
    dialogs.expectMessage(kFallback, MsgIcon::Warning, MsgButtons::YesNo, MsgResult::Yes)
        .expectQuestion(QStringLiteral("計算された補間値を採用しますか？"), MsgResult::Yes);
    curve();
    ASSERT_EQ(sheets().pageCount(), 3);
    // 2.5 and 7.5 go to the even neighbours.
    EXPECT_EQ(points(), (std::vector<Point> { { 0, 0 }, { 1, 2 }, { 2, 5 }, { 3, 8 }, { 4, 10 } }));
    EXPECT_EQ(sheets().currentPage().caption, QStringLiteral("Run 曲補 直補"));
}

TEST_F(InterpolateCommandsTest, NoRemovesThePageWithoutMarkingTheDocument)
{
    ASSERT_TRUE(main->CreateSheetPage());
    ASSERT_TRUE(main->CreateSheetPage());
    main->pcSheet()->setCurrentIndex(1);
    ASSERT_EQ(sheets().currentIndex(), 1);
    setPoints({ { 10, 100 }, { 20, 200 }, { 30, 100 } });
    main->MarkUnmodified();

    dialogs.expectQuestion(QStringLiteral("計算された補間値を採用しますか？"), MsgResult::No);
    linear();
    EXPECT_EQ(sheets().pageCount(), 3);
    EXPECT_EQ(main->pcSheet()->count(), 3);
    EXPECT_EQ(main->cbxSheetList()->count(), 3);
    // The page the user worked on is current again, unchanged.
    EXPECT_EQ(sheets().currentIndex(), 1);
    EXPECT_EQ(main->pcSheet()->currentIndex(), 1);
    EXPECT_EQ(points(), (std::vector<Point> { { 10, 100 }, { 20, 200 }, { 30, 100 } }));
    EXPECT_FALSE(main->doc().state.modified);
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
    // The page's number is free again.
    ASSERT_TRUE(main->CreateSheetPage());
    EXPECT_EQ(sheets().currentPage().caption, QStringLiteral("Page3"));

    // Sorted first, then not adopted: the sort stays, and so does its mark.
    main->pcSheet()->setCurrentIndex(0);
    setPoints({ { 30, 1 }, { 10, 2 }, { 20, 3 } });
    main->MarkUnmodified();
    dialogs
        .expectMessage(
            QStringLiteral("補間処理の前に、ソートする必要があります。\r\nソート処理を行いますか？"),
            MsgIcon::Warning, MsgButtons::YesNo, MsgResult::Yes)
        .expectQuestion(QStringLiteral("計算された補間値を採用しますか？"), MsgResult::No);
    curve();
    EXPECT_EQ(sheets().pageCount(), 4);
    EXPECT_EQ(sheets().currentIndex(), 0);
    EXPECT_EQ(xs(points()), (std::vector<int> { 10, 20, 30 }));
    EXPECT_TRUE(main->doc().state.modified);
}

TEST_F(InterpolateCommandsTest, FloatingPointErrorIsReported)
{
    auto* commands = main->findChild<InterpolateCommands*>(QStringLiteral("ipSpline"));
    ASSERT_NE(commands, nullptr);
    const double x[] = { 5, 5 };
    const double y[] = { 1, 2 };
    dialogs.expectMessage(
        QStringLiteral("補間処理中にエラーが発生しました"), MsgIcon::Error, MsgButtons::OK, MsgResult::OK);
    EXPECT_FALSE(commands->ipSpline().Prepare(2, x, y));
}

TEST_F(InterpolateCommandsTest, SettingsWindowAndItsValue)
{
    // A fresh installation: distance 1, written back at once.
    EXPECT_EQ(store.values().value(QStringLiteral("Spline")), ints({ 0, 0, 1 }));
    EXPECT_EQ(spline->windowTitle(), QStringLiteral("補間処理設定"));
    EXPECT_EQ(spline->sampleDistance(), 1);
    TUpDown* ud = spline->udDistance();
    EXPECT_EQ(ud->minimum(), 1);
    EXPECT_EQ(ud->maximum(), 1000);
    EXPECT_FALSE(ud->wrapping());
    EXPECT_EQ(spline->edtDistance()->objectName(), QStringLiteral("edtDistance"));
    EXPECT_TRUE(spline->edtDistance()->isReadOnly());
    EXPECT_EQ(spline->edtDistance()->text(), QStringLiteral("1"));

    QAction* act = main->action(QStringLiteral("SplineConfigulation"));
    act->trigger();
    EXPECT_TRUE(spline->isVisible());
    EXPECT_TRUE(act->isChecked());
    act->trigger(); // shown again, not toggled
    EXPECT_TRUE(spline->isVisible());
    EXPECT_TRUE(act->isChecked());
    ud->stepBy(6);
    EXPECT_EQ(spline->sampleDistance(), 7);
    ud->stepBy(-100);
    EXPECT_EQ(spline->sampleDistance(), 1);
    ud->stepBy(2000);
    EXPECT_EQ(spline->sampleDistance(), 1000);
    ud->stepBy(-993);
    spline->move(40, 50);
    spline->findChild<QPushButton*>(QStringLiteral("butClose"))->click();
    EXPECT_FALSE(spline->isVisible());
    EXPECT_FALSE(act->isChecked());
    EXPECT_EQ(store.values().value(QStringLiteral("Spline")), ints({ spline->x(), spline->y(), 7 }));

    // The next start reads it back.
    start();
    spline = static_cast<TfrmSpline*>(windows->frmSpline);
    EXPECT_EQ(spline->sampleDistance(), 7);
    EXPECT_EQ(spline->udDistance()->value(), 7);

    // Out of range is pulled in; another size gives the defaults.
    store.setValue(QStringLiteral("Spline"), ints({ 0, 0, 0 }));
    start();
    EXPECT_EQ(static_cast<TfrmSpline*>(windows->frmSpline)->sampleDistance(), 1);
    store.setValue(QStringLiteral("Spline"), ints({ 0, 0, 5000 }));
    start();
    EXPECT_EQ(static_cast<TfrmSpline*>(windows->frmSpline)->sampleDistance(), 1000);
    store.setValue(QStringLiteral("Spline"), ints({ 0, 0, 9, 9 }));
    start();
    EXPECT_EQ(store.values().value(QStringLiteral("Spline")), ints({ 0, 0, 1 }));
    EXPECT_EQ(static_cast<TfrmSpline*>(windows->frmSpline)->sampleDistance(), 1);
}
