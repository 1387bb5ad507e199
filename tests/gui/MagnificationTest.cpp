// The magnification dialog: refusals, factors, typing, accept, undo, settings.
#include "GuiFixture.h"
#include "TestPictures.h"

#include "platform/ByteIO.h"
#include "widgets/TPictureView.h"
#include "image/TfMagnification.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace cvg;
using namespace cvg::test;

namespace {

const QString kAdopt = QStringLiteral("編集する画像として採用しますか？");
const QString kNotPositive = QStringLiteral("正の整数を入力してください");
const QString kOutOfRange = QStringLiteral("横幅と縦幅は 1 から 10000 までの整数で指定してください。");

} // namespace

class MagnificationTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        start();
        main->show();
        Document& doc = main->doc();
        doc.images.workingImage = patternPicture(640, 480);
        doc.images.correctedImage = doc.images.workingImage;
        doc.state.pictureLoaded = true;
        main->ShowWorkingImage();
        dialog = static_cast<TfMagnification*>(windows->fMagnification);
    }
    QAction* act() { return main->action(QStringLiteral("acImageMagnification")); }
    void open()
    {
        act()->trigger();
        ASSERT_TRUE(dialog->isVisible());
    }
    // The user picks an item of a factor list.
    void choose(QComboBox* list, int index)
    {
        list->setCurrentIndex(index);
        Q_EMIT list->activated(index);
    }
    // The user replaces a field's text by typing it key by key.
    void type(QLineEdit* field, const QString& text)
    {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    void click(const char* button) { dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click(); }
    QSize fields() const
    {
        return { dialog->edtWidth()->text().toInt(), dialog->edtHeight()->text().toInt() };
    }

    TfMagnification* dialog = nullptr;
};

TEST_F(MagnificationTest, RefusedWithoutPictureAndAfterTheCalibration)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("グラフの拡大・縮小"));
    EXPECT_TRUE(act()->isCheckable());
    main->doc().state.pictureLoaded = false;
    dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
    act()->trigger();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(act()->isChecked());

    // The picture check comes first.
    main->doc().calibration.Converted = true;
    dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
    act()->trigger();
    main->doc().state.pictureLoaded = true;
    dialogs.expectWarning(QStringLiteral("換算値がすでに計算されています。"));
    act()->trigger();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(act()->isChecked());
    EXPECT_EQ(dialogs.shown().size(), 3u);
}

TEST_F(MagnificationTest, OpensWithThePictureSizeAndFactorsFollowTheRatio)
{
    open();
    EXPECT_TRUE(act()->isChecked());
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(fields(), QSize(640, 480));
    QComboBox* horizontal = dialog->cbHorizontal();
    QComboBox* vertical = dialog->cbVertical();
    ASSERT_EQ(horizontal->count(), 11);
    EXPECT_EQ(horizontal->itemText(0), QStringLiteral("1/6倍"));
    EXPECT_EQ(horizontal->itemText(10), QStringLiteral("6倍"));
    EXPECT_EQ(horizontal->currentText(), QStringLiteral("等倍"));
    EXPECT_EQ(vertical->currentText(), QStringLiteral("等倍"));
    EXPECT_FALSE(horizontal->isEditable());
    EXPECT_TRUE(dialog->cbRatio()->isChecked());
    EXPECT_EQ(dialog->cbRatio()->text(), QStringLiteral("一定にする"));

    choose(horizontal, 3); // "1/3倍"
    EXPECT_EQ(fields(), QSize(213, 160));
    EXPECT_EQ(vertical->currentIndex(), 3);
    choose(vertical, 6); // "2倍"
    EXPECT_EQ(fields(), QSize(1280, 960));
    EXPECT_EQ(horizontal->currentIndex(), 6);

    // Without the ratio each list sets its own side only.
    dialog->cbRatio()->setChecked(false);
    choose(vertical, 0);
    EXPECT_EQ(fields(), QSize(1280, 80));
    EXPECT_EQ(horizontal->currentIndex(), 6);
    choose(horizontal, 10);
    EXPECT_EQ(fields(), QSize(3840, 80));
    EXPECT_EQ(vertical->currentIndex(), 0);

    // The lists and the check box keep their state over a close and reopening.
    click("butClose");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(act()->isChecked());
    open();
    EXPECT_EQ(horizontal->currentIndex(), 10);
    EXPECT_FALSE(dialog->cbRatio()->isChecked());
    EXPECT_EQ(fields(), QSize(640, 480));
}

TEST_F(MagnificationTest, TypingAndSteppingFollowTheRatio)
{
    open();
    type(dialog->edtWidth(), QStringLiteral("100"));
    EXPECT_EQ(dialog->edtHeight()->text(), QStringLiteral("75"));
    type(dialog->edtWidth(), QStringLiteral("1"));
    EXPECT_EQ(dialog->edtHeight()->text(), QStringLiteral("0"));
    type(dialog->edtHeight(), QStringLiteral("75"));
    EXPECT_EQ(dialog->edtWidth()->text(), QStringLiteral("100"));

    // Not an integer: a plain message, the other field stays.
    dialogs.expectInfo(kNotPositive);
    QTest::keyClicks(dialog->edtHeight(), QStringLiteral("x"));
    EXPECT_EQ(dialog->edtHeight()->text(), QStringLiteral("75x"));
    EXPECT_EQ(dialog->edtWidth()->text(), QStringLiteral("100"));
    dialogs.verify();
    // A key that changes no text asks nothing again.
    QTest::keyClick(dialog->edtHeight(), Qt::Key_Left);
    QTest::keyClick(dialog->edtHeight(), Qt::Key_Shift);
    // Emptying a field leaves the other alone.
    type(dialog->edtHeight(), QString());
    EXPECT_EQ(dialog->edtWidth()->text(), QStringLiteral("100"));

    // Stepping an up-down moves its field by one and the other follows.
    type(dialog->edtWidth(), QStringLiteral("100"));
    dialog->udWidth()->stepBy(1);
    EXPECT_EQ(fields(), QSize(101, 75)); // 480 x 101 div 640 = 75.75
    dialog->udHeight()->stepBy(-1);
    EXPECT_EQ(fields(), QSize(98, 74)); // 640 x 74 div 480 = 98.67
    EXPECT_EQ(dialog->udWidth()->minimum(), 1);
    EXPECT_EQ(dialog->udWidth()->maximum(), 10000);
    EXPECT_FALSE(dialog->udWidth()->wrapping());
    type(dialog->edtWidth(), QStringLiteral("10000"));
    dialog->udWidth()->stepBy(1);
    EXPECT_EQ(dialog->edtWidth()->text(), QStringLiteral("10000"));

    // Without the ratio the typed text is not examined.
    dialog->cbRatio()->setChecked(false);
    type(dialog->edtWidth(), QStringLiteral("abc"));
    dialog->udHeight()->stepBy(1);
    EXPECT_EQ(fields(), QSize(0, 7501));
    EXPECT_EQ(dialog->edtWidth()->text(), QStringLiteral("abc"));
}

TEST_F(MagnificationTest, TwoAcceptsThenUndoGoBackOneStep)
{
    Document& doc = main->doc();
    const QImage original = doc.images.workingImage;
    open();
    choose(dialog->cbHorizontal(), 6); // 2x
    dialogs.expectQuestion(kAdopt, MsgResult::Yes);
    click("butAccept");
    EXPECT_EQ(doc.images.workingImage.size(), QSize(1280, 960));
    EXPECT_EQ(differingPixels(doc.images.unresizedImage, original), 0);
    EXPECT_EQ(doc.images.correctedImage.size(), QSize(1280, 960));
    EXPECT_EQ(doc.resize, (ResizeRecord { true, {}, 1280, 960 }));
    EXPECT_EQ(main->shownPicture().size(), QSize(1280, 960));
    EXPECT_EQ(main->pbGraph()->size(), QSize(1280, 960));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更あり"));
    // The dialog starts again from the new picture.
    EXPECT_EQ(dialog->cbHorizontal()->currentIndex(), 5);
    EXPECT_EQ(dialog->cbVertical()->currentIndex(), 5);
    EXPECT_EQ(fields(), QSize(1280, 960));
    const QImage first = doc.images.workingImage;

    // Factors compound on the current picture.
    choose(dialog->cbHorizontal(), 3); // 1/3
    EXPECT_EQ(fields(), QSize(426, 320));
    dialogs.expectQuestion(kAdopt, MsgResult::Yes);
    click("butAccept");
    EXPECT_EQ(doc.resize, (ResizeRecord { true, {}, 426, 320 }));
    EXPECT_EQ(differingPixels(doc.images.unresizedImage, first), 0);

    main->MarkUnmodified();
    click("butReject");
    EXPECT_EQ(differingPixels(doc.images.workingImage, first), 0);
    EXPECT_EQ(main->shownPicture().size(), QSize(1280, 960));
    EXPECT_EQ(doc.resize, (ResizeRecord { false, {}, 1280, 960 }));
    EXPECT_EQ(doc.images.correctedImage.size(), QSize(426, 320)); // untouched by undo
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更あり"));
    EXPECT_EQ(fields(), QSize(1280, 960));

    // A second undo only resets the dialog.
    main->MarkUnmodified();
    dialog->cbRatio()->setChecked(false);
    choose(dialog->cbVertical(), 0);
    click("butReject");
    EXPECT_EQ(doc.images.workingImage.size(), QSize(1280, 960));
    EXPECT_EQ(doc.resize, (ResizeRecord { false, {}, 1280, 960 }));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
    EXPECT_TRUE(dialog->cbRatio()->isChecked());
    EXPECT_EQ(dialog->cbVertical()->currentIndex(), 5);
    EXPECT_EQ(fields(), QSize(1280, 960));
}

TEST_F(MagnificationTest, RejectedPreviewAndRefusedSizesChangeNothing)
{
    Document& doc = main->doc();
    const QImage original = doc.images.workingImage;
    open();
    choose(dialog->cbHorizontal(), 0); // 1/6: 106 x 80
    dialogs.expectQuestion(kAdopt, MsgResult::No);
    click("butAccept");
    EXPECT_EQ(differingPixels(doc.images.workingImage, original), 0);
    EXPECT_EQ(main->shownPicture().size(), QSize(640, 480));
    EXPECT_EQ(doc.resize, ResizeRecord {});
    EXPECT_EQ(fields(), QSize(640, 480));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
    // The box closed without an answer is a No.
    dialogs.expectMessage(kAdopt, MsgIcon::None, MsgButtons::YesNo, MsgResult::Closed);
    click("butAccept");
    EXPECT_EQ(doc.resize, ResizeRecord {});

    // Width 1 would give height 0: refused with a message, no picture made.
    type(dialog->edtWidth(), QStringLiteral("1"));
    ASSERT_EQ(dialog->edtHeight()->text(), QStringLiteral("0"));
    dialogs.expectWarning(kOutOfRange);
    click("butAccept");
    dialog->cbRatio()->setChecked(false);
    type(dialog->edtWidth(), QStringLiteral("10001"));
    type(dialog->edtHeight(), QStringLiteral("10"));
    dialogs.expectWarning(kOutOfRange);
    click("butAccept");
    EXPECT_EQ(doc.images.workingImage.size(), QSize(640, 480));

    // A field that is not an integer: nothing at all happens.
    type(dialog->edtWidth(), QStringLiteral("12a"));
    click("butAccept");
    type(dialog->edtWidth(), QString());
    click("butAccept");
    EXPECT_EQ(doc.images.workingImage.size(), QSize(640, 480));
    EXPECT_EQ(main->statusText(1), QStringLiteral("変更なし"));
}

TEST_F(MagnificationTest, ClosingUnchecksAndStoresThePlace)
{
    ASSERT_EQ(store.value(QStringLiteral("Magnification"))->size(), 8);
    open();
    // Help opens its topic (here: the file is missing) and the dialog stays, on top.
    dialogs.expectInfo(QStringLiteral("/opt/cvg/cvghelp.chmファイルが見つかりませんでした"));
    click("butHelp");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
    dialog->move(33, 44);
    ASSERT_EQ(dialog->pos(), QPoint(33, 44));
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(act()->isChecked());
    QByteArray expected;
    putI32(expected, 33);
    putI32(expected, 44);
    EXPECT_EQ(*store.value(QStringLiteral("Magnification")), expected);

    // The next start places the dialog there.
    start();
    EXPECT_EQ(windows->fMagnification->pos(), QPoint(33, 44));
}
