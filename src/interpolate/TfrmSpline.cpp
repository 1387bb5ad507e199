#include "interpolate/TfrmSpline.h"

#include "interpolate/InterpolateSheet.h"
#include "widgets/TUpDown.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace cvg {

TfrmSpline::TfrmSpline(TfrmMain& main, AppContext& context)
    : TToolWindow(&main, context, QStringLiteral("Spline"), { 0, 0, 1 }, kDialogWindowFlags)
    , main_(main)
{
    setObjectName(QStringLiteral("frmSpline"));
    setWindowTitle(QStringLiteral("補間処理設定"));

    auto* label = new QLabel(QStringLiteral("補間点間隔"), this);
    label->setObjectName(QStringLiteral("lblDistance"));
    label->setGeometry(12, 14, 70, 16);

    udDistance_ = new TUpDown(this);
    udDistance_->setObjectName(QStringLiteral("udDistance"));
    udDistance_->field()->setObjectName(QStringLiteral("edtDistance"));
    // The value changes only through the arrows.
    udDistance_->field()->setReadOnly(true);
    udDistance_->setRange(kMinSampleDistance, kMaxSampleDistance);
    udDistance_->setWrapping(false);
    udDistance_->setValue(5);
    udDistance_->setGeometry(88, 10, 70, 22);
    label->setBuddy(udDistance_);

    auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    close->setObjectName(QStringLiteral("butClose"));
    close->setGeometry(8, 44, 75, 25);
    auto* help = new QPushButton(QStringLiteral("ヘルプ(&H)"), this);
    help->setObjectName(QStringLiteral("butHelp"));
    help->setGeometry(89, 44, 75, 25);
    setFixedSize(172, 77);

    connect(udDistance_, &QSpinBox::valueChanged, this, [this](int value) { sampleDistance_ = value; });
    connect(close, &QPushButton::clicked, this, [this] { done(0); });
    connect(help, &QPushButton::clicked, this, [this] {
        if (main_.toolWindows())
            main_.toolWindows()->ShowHelpTopic(QStringLiteral("DialogSpline.htm"));
        stayOnTop();
    });

    // A stored distance outside the up-down's range is pulled into it, so an
    // interpolation never steps by 0 or by more than the window can show.
    sampleDistance_ = std::clamp(storedExtra(0), kMinSampleDistance, kMaxSampleDistance);
    udDistance_->setValue(sampleDistance_);
}

QLineEdit* TfrmSpline::edtDistance() const
{
    return udDistance_->field();
}

void TfrmSpline::SplineConfigulationExecute()
{
    show();
    raise();
    main_.action(QStringLiteral("SplineConfigulation"))->setChecked(true);
}

void TfrmSpline::showEvent(QShowEvent* event)
{
    udDistance_->setValue(sampleDistance_);
    TToolWindow::showEvent(event);
}

void TfrmSpline::onClosed()
{
    main_.action(QStringLiteral("SplineConfigulation"))->setChecked(false);
    setStoredExtra(0, sampleDistance_);
}

} // namespace cvg
