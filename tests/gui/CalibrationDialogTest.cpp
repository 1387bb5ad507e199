// The calibration mode: rectangle, markers, dialog, execute and protection.
#include "GuiFixture.h"
#include "TestPictures.h"

#include "widgets/TPictureView.h"
#include "calibration/TfDeform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace cvg;
using namespace cvg::test;

namespace {

const QString kAdopt = QStringLiteral("指定された座標を歪修正データとして採用しますか？\r\n\r\n座標は、マーカを移動することで修正できます。");

void keyUp(QLineEdit* field, const QString& text)
{
    field->setText(text);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_5, Qt::NoModifier, text.right(1));
    QApplication::sendEvent(field, &release);
}

} // namespace

class CalibrationDialogTest : public GuiFixture {
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        start();
        main->show();
        Document& doc = main->doc();
        doc.images.workingImage = drawGraph(400, 500);
        doc.state.pictureLoaded = true;
        main->ShowWorkingImage();
        deform = windows->fDeform;
    }
    void enterMode() { main->action(QStringLiteral("acDeformationData"))->trigger(); }
    void selectRectangle(QPoint from, QPoint to)
    {
        QWidget* paint = main->pbPaint();
        QTest::mousePress(paint, Qt::LeftButton, {}, from);
        sendMouse(paint, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        QTest::mouseRelease(paint, Qt::LeftButton, {}, to);
    }
    QPoint markerCentre(int index) const
    {
        return deform->marker(index)->pos() + QPoint(10, 10) - main->imImage()->pos();
    }
    Calibration& cal() { return main->doc().calibration; }

    TfDeform* deform = nullptr;
};

TEST_F(CalibrationDialogTest, NoPictureNoMode)
{
    main->doc().state.pictureLoaded = false;
    dialogs.expectWarning(QStringLiteral("画像が読み込まれていません。"));
    enterMode();
    EXPECT_FALSE(deform->isVisible());
    EXPECT_FALSE(main->action(QStringLiteral("acDeformationData"))->isChecked());
}

TEST_F(CalibrationDialogTest, RectangleRuleWithSharing)
{
    enterMode();
    ASSERT_TRUE(deform->isVisible());
    EXPECT_TRUE(main->action(QStringLiteral("acDeformationData"))->isChecked());
    EXPECT_TRUE(main->pbPaint()->isVisible());
    EXPECT_FALSE(main->pbGraph()->isVisible());
    EXPECT_EQ(deform->windowTitle(), QStringLiteral("グラフの歪修正と換算値の計算"));
    // The designed client area, every control inside it.
    EXPECT_EQ(deform->size(), QSize(356, 242));
    for (QWidget* child : deform->findChildren<QWidget*>()) {
        if (!child->isWindow() && child->parentWidget() == deform) {
            EXPECT_TRUE(deform->rect().contains(child->geometry())) << child->objectName().toStdString();
        }
    }
    EXPECT_EQ(deform->udX(0)->toolTip(), QStringLiteral("上側の横軸座標値を調節"));
    EXPECT_EQ(deform->udY(3)->toolTip(), QStringLiteral("右側の縦軸座標値を調節"));
    EXPECT_EQ(deform->edtValue(1)->toolTip(), QStringLiteral("下側座標の値"));

    // A press and release at one spot selects nothing.
    dialogs.expectInfo(QStringLiteral("座標は指定されませんでした。\r\nもう一度座標を指定してください。"));
    selectRectangle({50, 50}, {50, 50});
    EXPECT_FALSE(cal().PointsSpecified);

    dialogs.expectQuestion(kAdopt, MsgResult::Yes);
    selectRectangle({300, 100}, {100, 400});
    const auto& p = cal().SourcePoints;
    EXPECT_EQ(p[YUpper].x, 100);
    EXPECT_EQ(p[YUpper].y, 400);
    EXPECT_EQ(p[YLower].x, 100);
    EXPECT_EQ(p[YLower].y, 100);
    EXPECT_EQ(p[XLeft].x, 100);
    EXPECT_EQ(p[XLeft].y, 100);
    EXPECT_EQ(p[XRight].x, 300);
    EXPECT_EQ(p[XRight].y, 100);
    const auto& s = cal().ScreenPoints;
    EXPECT_EQ(s[YUpper], (ScreenPoint{100, 100}));
    EXPECT_EQ(s[YLower], (ScreenPoint{100, 400}));
    EXPECT_EQ(s[XLeft], (ScreenPoint{100, 400}));
    EXPECT_EQ(s[XRight], (ScreenPoint{300, 400}));
    EXPECT_TRUE(cal().PointsSpecified);

    // Markers: centres on their points, the shared one captioned, the left one hidden.
    EXPECT_TRUE(deform->marker(1)->isVisible());
    EXPECT_FALSE(deform->marker(2)->isVisible());
    EXPECT_EQ(deform->marker(1)->toolTip(), QStringLiteral("縦軸・横軸共有座標"));
    EXPECT_EQ(markerCentre(0), QPoint(100, 100));
    EXPECT_EQ(markerCentre(3), QPoint(300, 400));
    EXPECT_EQ(deform->udX(3)->value(), 300);
    EXPECT_EQ(deform->udY(0)->value(), 400);
    EXPECT_EQ(deform->edtValue(2)->text(), QStringLiteral("0"));

    // Dragging the shared marker moves both shared points and their up-downs.
    TMarkImage* shared = deform->marker(1);
    sendMouse(shared, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(shared, QEvent::MouseMove, {15, 5}, Qt::NoButton, Qt::LeftButton);
    sendMouse(shared, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(p[YLower].x, 105);
    EXPECT_EQ(p[YLower].y, 105);
    EXPECT_EQ(p[XLeft].x, 105);
    EXPECT_EQ(p[XLeft].y, 105);
    EXPECT_EQ(deform->udX(2)->value(), 105);
    EXPECT_EQ(deform->udY(2)->value(), 105);
    EXPECT_EQ(markerCentre(1), QPoint(105, 395));

    // An up-down click moves its marker; with sharing, the partner follows.
    deform->udX(2)->stepBy(2);
    EXPECT_EQ(p[XLeft].x, 107);
    EXPECT_EQ(p[YLower].x, 107);
    EXPECT_EQ(markerCentre(1), QPoint(107, 395));

    // A new rectangle first asks to throw the points away.
    dialogs.expectQuestion(QStringLiteral("既に歪修正データは指定されています。新規に指定しますか？"), MsgResult::Yes);
    dialogs.expectQuestion(QStringLiteral("既に指定されている歪修正データは破棄されます。よろしいですか？"), MsgResult::Yes);
    QTest::mousePress(main->pbPaint(), Qt::LeftButton, {}, {10, 10});
    QTest::mouseRelease(main->pbPaint(), Qt::LeftButton, {}, {10, 10});
    EXPECT_FALSE(cal().PointsSpecified);
    EXPECT_EQ(p[XRight].x, 0);
    EXPECT_FALSE(deform->marker(0)->isVisible());
}

TEST_F(CalibrationDialogTest, SeparateCornerAndTheSharingQuestion)
{
    enterMode();
    dialogs.expectQuestion(kAdopt, MsgResult::Yes);
    selectRectangle({300, 100}, {100, 400});

    // Answering No leaves the box and the points as they were.
    dialogs.expectQuestion(QStringLiteral("縦軸下側座標と横軸左側座標の共有を変更しますか？"), MsgResult::No);
    deform->cbJoint()->click();
    EXPECT_TRUE(deform->cbJoint()->isChecked());
    EXPECT_TRUE(cal().Shared);
    EXPECT_FALSE(deform->marker(2)->isVisible());

    dialogs.expectQuestion(QStringLiteral("縦軸下側座標と横軸左側座標の共有を変更しますか？"), MsgResult::Yes);
    deform->cbJoint()->click();
    EXPECT_FALSE(cal().Shared);
    EXPECT_EQ(cal().SourcePoints[XLeft].x, 120);
    EXPECT_EQ(cal().SourcePoints[XLeft].y, 100);
    EXPECT_TRUE(deform->marker(2)->isVisible());
    EXPECT_EQ(deform->marker(1)->toolTip(), QStringLiteral("縦軸下側座標"));
    EXPECT_EQ(deform->marker(2)->toolTip(), QStringLiteral("横軸左側座標"));

    // A fresh rectangle without sharing: 20 pixels from the corner.
    dialogs.expectQuestion(QStringLiteral("既に歪修正データは指定されています。新規に指定しますか？"), MsgResult::Yes);
    dialogs.expectQuestion(QStringLiteral("既に指定されている歪修正データは破棄されます。よろしいですか？"), MsgResult::Yes);
    QTest::mousePress(main->pbPaint(), Qt::LeftButton, {}, {10, 10});
    QTest::mouseRelease(main->pbPaint(), Qt::LeftButton, {}, {10, 10});
    // The reset shows sharing again; switch it off once more.
    dialogs.expectQuestion(QStringLiteral("縦軸下側座標と横軸左側座標の共有を変更しますか？"), MsgResult::Yes);
    deform->cbJoint()->click();
    dialogs.expectQuestion(kAdopt, MsgResult::Yes);
    selectRectangle({300, 100}, {100, 400});
    const auto& p = cal().SourcePoints;
    EXPECT_EQ(p[YLower].x, 100);
    EXPECT_EQ(p[YLower].y, 120);
    EXPECT_EQ(p[XLeft].x, 120);
    EXPECT_EQ(p[XLeft].y, 100);
    EXPECT_EQ(cal().ScreenPoints[YLower], (ScreenPoint{100, 380}));
    EXPECT_EQ(cal().ScreenPoints[XLeft], (ScreenPoint{120, 400}));
}

TEST_F(CalibrationDialogTest, ValueEntryLogWarningsExecuteAndProtection)
{
    // Every change of the calibration is a change of the document: it is kept
    // in the file, so closing must ask.
    auto modified = [this] { return main->doc().state.modified && main->statusText(1) == QStringLiteral("変更あり"); };
    enterMode();
    EXPECT_FALSE(modified());
    dialogs.expectQuestion(kAdopt, MsgResult::Yes);
    selectRectangle({300, 100}, {100, 400});
    EXPECT_TRUE(modified());
    main->MarkUnmodified();

    keyUp(deform->edtValue(0), QStringLiteral("-"));
    EXPECT_EQ(cal().SourcePoints[0].value, 0.0);
    keyUp(deform->edtValue(0), QStringLiteral("-2.5"));
    EXPECT_EQ(cal().SourcePoints[0].value, -2.5);
    dialogs.expectInfo(QStringLiteral("数字を入力してください。"));
    keyUp(deform->edtValue(0), QStringLiteral("2x"));
    EXPECT_EQ(deform->edtValue(0)->text(), QStringLiteral("-2.5"));
    EXPECT_EQ(cal().SourcePoints[0].value, -2.5);
    keyUp(deform->edtValue(0), QStringLiteral("30"));
    keyUp(deform->edtValue(3), QStringLiteral("20"));

    // The log box warns about zero values, in row order.
    dialogs.expectInfo(QStringLiteral("左側の値に0が指定されています。"));
    deform->cbXLog()->click();
    EXPECT_TRUE(cal().XLog);
    deform->cbXLog()->click();
    EXPECT_FALSE(cal().XLog);

    // Execute, answer No: back to the uncorrected picture with markers.
    dialogs.expectQuestion(QStringLiteral("画像の歪は修正されましたか？"), MsgResult::No);
    deform->butAccept()->click();
    EXPECT_TRUE(main->pbPaint()->isVisible());
    EXPECT_TRUE(deform->marker(0)->isVisible());
    EXPECT_FALSE(cal().Converted);
    EXPECT_EQ(main->shownPicture().size(), QSize(400, 500));

    // Closing now asks; No keeps the dialog open.
    dialogs.expectQuestion(QStringLiteral("画像の歪修正と換算値の計算が行われていません。"), MsgResult::No);
    deform->findChild<QPushButton*>(QStringLiteral("butClose"))->click();
    EXPECT_TRUE(deform->isVisible());

    // Execute, answer Yes: converted, dialog closed, corrected picture shown.
    EXPECT_TRUE(modified());
    main->MarkUnmodified();
    dialogs.expectQuestion(QStringLiteral("画像の歪は修正されましたか？"), MsgResult::Yes);
    deform->butAccept()->click();
    EXPECT_TRUE(cal().Converted);
    EXPECT_TRUE(modified());
    main->MarkUnmodified();
    EXPECT_FALSE(deform->isVisible());
    EXPECT_FALSE(main->action(QStringLiteral("acDeformationData"))->isChecked());
    EXPECT_TRUE(main->pbGraph()->isVisible());
    EXPECT_FALSE(main->pbPaint()->isVisible());
    EXPECT_FALSE(deform->marker(0)->isVisible());
    EXPECT_EQ(main->shownPicture().size(), main->doc().images.correctedImage.size());
    EXPECT_NEAR(ConvertY(cal(), 400), 30.0, 1e-9);

    // Protected: the message, disabled inputs, markers that do not move.
    dialogs.expectInfo(QStringLiteral("データは保護されています。データを変更する場合には、初期化ボタンを押してください。"));
    enterMode();
    EXPECT_FALSE(deform->butAccept()->isEnabled());
    EXPECT_FALSE(deform->udX(0)->isEnabled());
    EXPECT_FALSE(deform->cbJoint()->isEnabled());
    EXPECT_TRUE(deform->edtValue(0)->isReadOnly());
    const QPoint before = deform->marker(0)->pos();
    sendMouse(deform->marker(0), QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(deform->marker(0), QEvent::MouseMove, {30, 30}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(deform->marker(0)->pos(), before);

    // Only the reset leaves it, after two questions.
    dialogs.expectQuestion(QStringLiteral("画像とデータを初期化しますか？"), MsgResult::Yes);
    dialogs.expectQuestion(QStringLiteral("全ての設定されたデータは初期化されます。"), MsgResult::No);
    deform->findChild<QPushButton*>(QStringLiteral("butReject"))->click();
    EXPECT_TRUE(cal().Converted);
    EXPECT_FALSE(modified());
    dialogs.expectQuestion(QStringLiteral("画像とデータを初期化しますか？"), MsgResult::Yes);
    dialogs.expectQuestion(QStringLiteral("全ての設定されたデータは初期化されます。"), MsgResult::Yes);
    deform->findChild<QPushButton*>(QStringLiteral("butReject"))->click();
    EXPECT_FALSE(cal().Converted);
    EXPECT_FALSE(cal().PointsSpecified);
    EXPECT_TRUE(modified());
    EXPECT_TRUE(deform->butAccept()->isEnabled());
    EXPECT_FALSE(deform->edtValue(0)->isReadOnly());
}

TEST_F(CalibrationDialogTest, InvalidValuesAreRefusedBeforeTheCorrection)
{
    enterMode();
    dialogs.expectQuestion(kAdopt, MsgResult::Yes);
    selectRectangle({300, 100}, {100, 400});
    // All values zero: the validation speaks first, then the refusal.
    dialogs.expectInfo(QStringLiteral("縦軸上側と下側の座標値が同じ値を持っています"));
    dialogs.expectInfo(QStringLiteral("パラメータを変更してから実行してください。"));
    deform->butAccept()->click();
    EXPECT_FALSE(cal().Converted);
    EXPECT_TRUE(main->pbPaint()->isVisible());
}
