// The calibration dialog: its fields and up-downs, the check boxes, and the
// execute and reset buttons.
#include "calibration/TfDeform.h"

#include "calibration/CorrectDistortion.h"
#include "calibration/ValueText.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "widgets/TPictureView.h"
#include "worksheet/DocumentChanges.h"
#include "widgets/TUpDown.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>

namespace cvg {

// ---- dialog --------------------------------------------------------------------

TfDeform::TfDeform(TfrmMain& main, AppContext& context)
    : TToolWindow(&main, context, QStringLiteral("Deform"), {0, 0},
                  Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint)
    , main_(main)
{
    setObjectName(QStringLiteral("fDeform"));
    setWindowTitle(QStringLiteral("グラフの歪修正と換算値の計算"));

    // Placed as the dialog was designed: a 356 x 242 client area with the two
    // axis groups above the buttons.
    const char* groupTitles[2] = {"縦軸設定(&Y)", "横軸設定(&X)"};
    const char* groupNames[2] = {"gbYAxis", "gbXAxis"};
    QGroupBox* groups[2];
    for (int g = 0; g < 2; ++g) {
        groups[g] = new QGroupBox(QString::fromUtf8(groupTitles[g]), this);
        groups[g]->setObjectName(QString::fromLatin1(groupNames[g]));
        groups[g]->setGeometry(6, 4 + 102 * g, 344, 98);
        auto* heading = new QLabel(QStringLiteral("座標"), groups[g]);
        heading->setGeometry(48, 16, 144, 15);
        heading->setAlignment(Qt::AlignCenter);
        heading = new QLabel(QStringLiteral("値"), groups[g]);
        heading->setGeometry(200, 16, 136, 15);
        heading->setAlignment(Qt::AlignCenter);
        for (int r = 0; r < 2; ++r) {
            const int n = 2 * g + r;
            const int top = 32 + 24 * r;
            const QString label = QString::fromUtf8(kRowLabels[n]);
            auto* caption = new QLabel(label, groups[g]);
            caption->setObjectName(QStringLiteral("stCoordinate%1").arg(n));
            caption->setGeometry(8, top, 38, 21);
            for (int axis = 0; axis < 2; ++axis) {
                auto* spin = new TUpDown(groups[g]);
                spin->setObjectName(QString::fromLatin1(axis == 0 ? "udX%1" : "udY%1").arg(n));
                spin->field()->setObjectName(QString::fromLatin1(axis == 0 ? "edtX%1" : "edtY%1").arg(n));
                spin->setGeometry(48 + 74 * axis, top, 70, 21);
                spin->setRange(0, 10000);
                spin->setSingleStep(1);
                spin->setWrapping(false);
                spin->setGroupSeparatorShown(false);
                spin->setKeyboardTracking(false);
                spin->field()->setReadOnly(true);
                spin->setProperty("tag", n);
                spin->setToolTip(label + (axis == 0 ? QStringLiteral("の横軸座標値を調節") : QStringLiteral("の縦軸座標値を調節")));
                spin->setMouseTracking(true);
                spin->installEventFilter(this);
                connect(spin, &QSpinBox::valueChanged, this, [this, n, axis] {
                    if (!programmatic_)
                        runEdit([this, n, axis] { udClick(n, axis == 0); });
                });
                (axis == 0 ? udX_ : udY_)[size_t(n)] = spin;
            }
            auto* value = new QLineEdit(QStringLiteral("0"), groups[g]);
            value->setObjectName(QStringLiteral("edtValue%1").arg(n));
            value->setGeometry(200, top, 136, 21);
            value->setProperty("tag", n);
            value->setToolTip(label + QStringLiteral("座標の値"));
            value->installEventFilter(this);
            edtValue_[size_t(n)] = value;
        }
        auto* log = new QCheckBox(QStringLiteral("対数目盛"), groups[g]);
        log->setObjectName(QString::fromLatin1(g == 0 ? "cbYLog" : "cbXLog"));
        log->setGeometry(200, 78, 136, 18);
        (g == 0 ? cbYLog_ : cbXLog_) = log;
        connect(log, &QCheckBox::clicked, this, [this, g] { runEdit([this, g] { cbLogClick(g == 0); }); });
    }
    cbJoint_ = new QCheckBox(QStringLiteral("共有する"), groups[0]);
    cbJoint_->setObjectName(QStringLiteral("cbJoint"));
    cbJoint_->setGeometry(48, 78, 144, 18);
    cbJoint_->setChecked(true);
    connect(cbJoint_, &QCheckBox::toggled, this,
            [this](bool on) { runEdit([this, on] { cbJointClick(on); }); });

    butAccept_ = new QPushButton(QStringLiteral("実行(&D)"), this);
    butAccept_->setObjectName(QStringLiteral("butAccept"));
    auto* reject = new QPushButton(QStringLiteral("初期化(&I)"), this);
    reject->setObjectName(QStringLiteral("butReject"));
    auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    close->setObjectName(QStringLiteral("butClose"));
    auto* help = new QPushButton(QStringLiteral("ヘルプ(&H)"), this);
    help->setObjectName(QStringLiteral("butHelp"));
    int left = 6;
    for (QPushButton* b : {butAccept_, reject, close, help}) {
        b->setAutoDefault(false);
        b->setGeometry(left, 210, 80, 25);
        left += 88;
    }
    setFixedSize(356, 242);

    connect(butAccept_, &QPushButton::clicked, this, [this] { runEdit([this] { butAcceptClick(); }); });
    connect(reject, &QPushButton::clicked, this, [this] { runEdit([this] { butRejectClick(); }); });
    connect(close, &QPushButton::clicked, this, [this] { done(0); });
    connect(help, &QPushButton::clicked, this, [this] {
        if (main_.toolWindows())
            main_.toolWindows()->ShowHelpTopic(QStringLiteral("DialogDeform.htm"));
        stayOnTop();
    });

    // The reference markers live over the picture and scroll with it.
    for (int i = 0; i < 4; ++i) {
        auto* mark = new TMarkImage(main_.imImage()->parentWidget(), i);
        connect(mark, &TMarkImage::pressed, this, &TfDeform::markerPressed);
        connect(mark, &TMarkImage::moved, this,
                [this](TMarkImage* m, QMouseEvent* e) { runEdit([this, m, e] { markerMoved(m, e); }); });
        connect(mark, &TMarkImage::released, this, [this](TMarkImage*, QMouseEvent*) {
            dragging_ = false;
            // The next drag is a step of its own.
            main_.doc().history.seal();
        });
        markers_[size_t(i)] = mark;
    }
}

void TfDeform::runEdit(const std::function<void()>& step)
{
    const Calibration before = cal();
    main_.runCommand(step);
    if (storedCalibrationDiffers(before, cal())) {
        RecordCalibration(main_.doc(), before);
        main_.valuesChanged();
        main_.MarkModified();
    }
}

void TfDeform::calibrationRestored()
{
    // The calibration mode: pbPaint takes the mouse over the uncorrected picture.
    const bool mode = !main_.pbPaint()->isHidden();
    if (!isVisible() && !mode)
        return;
    setUpDownsFromSource();
    setValueFieldsFromSource();
    setLogSilently(cbYLog_, cal().YLog);
    setLogSilently(cbXLog_, cal().XLog);
    setJointSilently(cal().Shared);
    setInputsEnabled(!cal().Converted);
    if (mode)
        showUncorrectedForCalibration();
    ScreenPointsFromSource();
    if (cal().Converted || cal().PointsSpecified)
        showMarkersFromSource();
    else
        HideMarkers();
    main_.pbPaint()->update();
}

void TfDeform::showMarkersFromSource()
{
    // A left X point apart from the lower Y point shows four markers.
    const Calibration& c = cal();
    if (c.SourcePoints[XLeft].x == c.SourcePoints[YLower].x && c.SourcePoints[XLeft].y == c.SourcePoints[YLower].y)
        ShowSharedMarkers();
    else
        ShowSeparateMarkers();
}

Calibration& TfDeform::cal()
{
    return main_.doc().calibration;
}

int TfDeform::pictureHeight() const
{
    return main_.pictureHeight();
}

void TfDeform::setUpDownsFromSource()
{
    programmatic_ = true;
    for (int n = 0; n < 4; ++n) {
        udX_[size_t(n)]->setValue(cal().SourcePoints[size_t(n)].x);
        udY_[size_t(n)]->setValue(cal().SourcePoints[size_t(n)].y);
    }
    programmatic_ = false;
}

void TfDeform::setValueFieldsFromSource()
{
    for (int n = 0; n < 4; ++n)
        edtValue_[size_t(n)]->setText(ValueText(cal().SourcePoints[size_t(n)].value));
}

void TfDeform::setInputsEnabled(bool on)
{
    butAccept_->setEnabled(on);
    cbJoint_->setEnabled(on);
    cbXLog_->setEnabled(on);
    cbYLog_->setEnabled(on);
    for (int n = 0; n < 4; ++n) {
        udX_[size_t(n)]->setEnabled(on);
        udY_[size_t(n)]->setEnabled(on);
        edtValue_[size_t(n)]->setReadOnly(!on);
    }
}

void TfDeform::setJointSilently(bool on)
{
    // A change made by the program never asks the sharing question.
    const QSignalBlocker block(cbJoint_);
    cbJoint_->setChecked(on);
}

void TfDeform::setLogSilently(QCheckBox* box, bool on)
{
    const QSignalBlocker block(box);
    box->setChecked(on);
}

// ---- dialog controls ----------------------------------------------------------------------

void TfDeform::udClick(int n, bool isX)
{
    Calibration& c = cal();
    auto coord = [isX](ReferencePoint& p) -> int32_t& { return isX ? p.x : p.y; };
    auto& ud = isX ? udX_ : udY_;
    coord(c.SourcePoints[size_t(n)]) = ud[size_t(n)]->value();
    if (cbJoint_->isChecked()) {
        programmatic_ = true;
        if (n == 1) {
            coord(c.SourcePoints[2]) = coord(c.SourcePoints[1]);
            ud[2]->setValue(coord(c.SourcePoints[2]));
        } else if (n == 2) {
            coord(c.SourcePoints[1]) = coord(c.SourcePoints[2]);
            ud[1]->setValue(coord(c.SourcePoints[1]));
            n = 1;
        }
        programmatic_ = false;
    }
    MoveMarker(n, c.SourcePoints[size_t(n)].x, c.SourcePoints[size_t(n)].y);
    centreScope(c.ScreenPoints[size_t(n)].x, c.ScreenPoints[size_t(n)].row);
}

void TfDeform::edtValueKeyUp(int n)
{
    QLineEdit* field = edtValue_[size_t(n)];
    const QString text = field->text();
    if (text.isEmpty() || text == QLatin1String("-"))
        return; // a negative number is being typed
    double value = 0;
    if (ParseValue(text, value)) {
        cal().SourcePoints[size_t(n)].value = value;
    } else {
        context_.dialogs.info(QStringLiteral("数字を入力してください。"));
        field->setText(ValueText(cal().SourcePoints[size_t(n)].value));
    }
}

void TfDeform::cbLogClick(bool isY)
{
    QCheckBox* box = isY ? cbYLog_ : cbXLog_;
    (isY ? cal().YLog : cal().XLog) = box->isChecked();
    if (!box->isChecked())
        return;
    for (int n : isY ? std::array<int, 2>{0, 1} : std::array<int, 2>{2, 3})
        if (edtValue_[size_t(n)]->text() == QLatin1String("0"))
            context_.dialogs.info(QString::fromUtf8(kRowLabels[n]) + QStringLiteral("の値に0が指定されています。"));
}

void TfDeform::cbJointClick(bool checked)
{
    if (!isVisible() || jointSuppress_) {
        jointSuppress_ = false;
        return;
    }
    if (context_.dialogs.ask(QStringLiteral("縦軸下側座標と横軸左側座標の共有を変更しますか？")) != MsgResult::Yes) {
        jointSuppress_ = true;
        cbJoint_->setChecked(!checked); // its handler only clears the mark
        return;
    }
    Calibration& c = cal();
    c.Shared = checked;
    HideMarkers();
    if (checked) {
        c.SourcePoints[2].x = c.SourcePoints[1].x;
        c.SourcePoints[2].y = c.SourcePoints[1].y;
        ShowSharedMarkers();
    } else {
        c.SourcePoints[2].x = c.SourcePoints[1].x + 20;
        c.SourcePoints[2].y = c.SourcePoints[1].y;
        ShowSeparateMarkers();
    }
    c.ScreenPoints[2] = {c.SourcePoints[2].x, pictureHeight() - c.SourcePoints[2].y};
    main_.pbPaint()->update();
    setUpDownsFromSource();
}

// ---- execute, reset, show, close -------------------------------------------------------------

void TfDeform::butAcceptClick()
{
    std::array<QString, 4> texts;
    for (size_t n = 0; n < 4; ++n)
        texts[n] = edtValue_[n]->text();
    if (!ValidateCalibration(cal(), texts, context_.dialogs)) {
        context_.dialogs.info(QStringLiteral("パラメータを変更してから実行してください。"));
        return;
    }
    Document& doc = main_.doc();
    if (!CorrectDistortion(doc.images.workingImage, cal(), doc.images.correctedImage, main_.progress(),
                           context_.dialogs)) {
        main_.setShownPicture(doc.images.workingImage);
        return;
    }
    main_.setShownPicture(doc.images.correctedImage);
    HideMarkers();
    main_.FitPaintBox(main_.pbGraph());
    main_.pbGraph()->show();
    main_.pbPaint()->hide();
    if (main_.toolWindows())
        main_.toolWindows()->overviewRefresh();
    if (context_.dialogs.ask(QStringLiteral("画像の歪は修正されましたか？")) == MsgResult::Yes) {
        cal().Converted = ConvertData(cal());
        main_.action(QStringLiteral("acDeformationData"))->setChecked(false);
        done(0);
        return;
    }
    showUncorrectedForCalibration();
    ScreenPointsFromSource();
    if (cbJoint_->isChecked())
        ShowSharedMarkers();
    else
        ShowSeparateMarkers();
}

void TfDeform::butRejectClick()
{
    if (context_.dialogs.ask(QStringLiteral("画像とデータを初期化しますか？")) != MsgResult::Yes)
        return;
    if (context_.dialogs.ask(QStringLiteral("全ての設定されたデータは初期化されます。")) != MsgResult::Yes)
        return;
    ResetCalibration();
    main_.setShownPicture(main_.doc().images.workingImage);
}

void TfDeform::showEvent(QShowEvent* event)
{
    TToolWindow::showEvent(event);
    setUpDownsFromSource();
    setValueFieldsFromSource();
    setLogSilently(cbYLog_, cal().YLog);
    setLogSilently(cbXLog_, cal().XLog);
    if (cal().Converted) {
        context_.dialogs.info(
            QStringLiteral("データは保護されています。データを変更する場合には、初期化ボタンを押してください。"));
        setInputsEnabled(false);
    } else {
        setInputsEnabled(true);
    }
}

bool TfDeform::closeQuery()
{
    if (cal().PointsSpecified && !cal().Converted)
        return context_.dialogs.ask(QStringLiteral("画像の歪修正と換算値の計算が行われていません。")) == MsgResult::Yes;
    return true;
}

void TfDeform::onClosed()
{
    main_.action(QStringLiteral("acDeformationData"))->setChecked(false);
    HideMarkers();
    if (cal().Converted)
        main_.RedrawPointMarkers(main_.settings().connectLine != 0);
    main_.FitPaintBox(main_.pbGraph());
    main_.pbGraph()->show();
    main_.pbPaint()->hide();
}

bool TfDeform::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease) {
        for (int n = 0; n < 4; ++n)
            if (watched == edtValue_[size_t(n)])
                runEdit([this, n] { edtValueKeyUp(n); });
    } else if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        const QVariant tag = watched->property("tag");
        if (tag.isValid() && qobject_cast<QSpinBox*>(watched)) {
            const auto& p = cal().ScreenPoints[size_t(std::clamp(tag.toInt(), 0, 3))];
            centreScope(p.x, p.row);
        }
    }
    return TToolWindow::eventFilter(watched, event);
}

} // namespace cvg
