// The trace window's colour mode: the line is told by its colour within a
// tolerance instead of by its brightness, and the mode, the colour and the
// tolerance are kept in their own settings value.
#include "image/Overview.h"
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "settings/SettingsRecords.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"
#include "shell/TfrmMain.h"
#include "trace/TfrmTrace.h"

#include <QCheckBox>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

namespace cvg {

namespace {

// The colour mode's value: mode 0/1, the line's colour 00BBGGRR, tolerance.
const QString kTraceColourValue = QStringLiteral("TraceColour");
constexpr int32_t kDefaultLineColour = 0x000000FF; // pure red
constexpr int32_t kDefaultTolerance = 60;

// Marks are red, except on a line whose own colour is near red: there they
// would vanish, so they are green, which is not taken for a blue curve either.
constexpr QRgb kMarkRed = 0xFFFF0000;
constexpr QRgb kMarkGreen = 0xFF00B400; // (0, 180, 0)
constexpr int kNearRed = 160;

// A small square of the colour, for the colour button.
QIcon swatchIcon(QRgb colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor::fromRgb(colour));
    p.drawRect(1, 1, 13, 13);
    p.end();
    return QIcon(pixmap);
}

} // namespace

void TfrmTrace::createColourControls(QToolBar* toolBar)
{
    cbColourMode_ = new QCheckBox(QStringLiteral("色で指定する"), toolBar);
    cbColourMode_->setObjectName(QStringLiteral("cbColourMode"));
    cbColourMode_->setToolTip(QStringLiteral("明るさではなく線の色で座標を読み込む"));
    toolBar->addWidget(cbColourMode_);

    butPickColour_ = new QToolButton(toolBar);
    butPickColour_->setObjectName(QStringLiteral("butPickColour"));
    butPickColour_->setText(QStringLiteral("色..."));
    butPickColour_->setToolTip(QStringLiteral("読み込む線の色を選ぶ"));
    butPickColour_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar->addWidget(butPickColour_);

    udTolerance_ = new TUpDown(toolBar);
    udTolerance_->setObjectName(QStringLiteral("udTolerance"));
    udTolerance_->field()->setObjectName(QStringLiteral("edtTolerance"));
    udTolerance_->field()->setToolTip(QStringLiteral("色の許容差"));
    udTolerance_->setToolTip(QStringLiteral("色の許容差の調節"));
    udTolerance_->setRange(0, kMaxColourTolerance);
    udTolerance_->setWrapping(false);
    udTolerance_->setValue(kDefaultTolerance);
    udTolerance_->setFixedWidth(64);
    udTolerance_->installEventFilter(this);
    toolBar->addWidget(udTolerance_);

    cbPickColour_ = new QCheckBox(QStringLiteral("画像から色を取る"), toolBar);
    cbPickColour_->setObjectName(QStringLiteral("cbPickColour"));
    cbPickColour_->setToolTip(QStringLiteral("画像上の線をクリックしてその色を取る"));
    toolBar->addWidget(cbPickColour_);

    connect(cbColourMode_, &QCheckBox::clicked, this,
        [this] { main_.runCommand([this] { cbColourModeClick(); }); });
    connect(butPickColour_, &QToolButton::clicked, this,
        [this] { main_.runCommand([this] { butPickColourClick(); }); });
    connect(cbPickColour_, &QCheckBox::toggled, this, [this](bool on) {
        if (!on && drag_ == Drag::Idle)
            pbPaint_->setCursor(Qt::CrossCursor);
    });
    setLineColour(lineColour_);
    updateColourControls();
}

bool TfrmTrace::colourMode() const
{
    return cbColourMode_->isChecked();
}

int TfrmTrace::tolerance() const
{
    return udTolerance_->value();
}

QRgb TfrmTrace::markColour() const
{
    if (!colourMode())
        return kMarkRed;
    return TTraceLine::WithinTolerance(255, 0, 0, lineColour_, kNearRed) ? kMarkGreen : kMarkRed;
}

void TfrmTrace::updateColourControls()
{
    const bool on = colourMode();
    // The threshold keeps its value but has no say while the colour decides.
    udBoundColor_->setEnabled(!on);
    butPickColour_->setEnabled(on);
    udTolerance_->setEnabled(on);
    cbPickColour_->setEnabled(on);
    if (!on)
        cbPickColour_->setChecked(false);
}

void TfrmTrace::cbColourModeClick()
{
    updateColourControls();
}

void TfrmTrace::setLineColour(QRgb colour)
{
    lineColour_ = qRgb(qRed(colour), qGreen(colour), qBlue(colour));
    butPickColour_->setIcon(swatchIcon(lineColour_));
}

void TfrmTrace::butPickColourClick()
{
    const std::optional<QColor> chosen = context_.dialogs.chooseColor(QColor::fromRgb(lineColour_));
    if (chosen && chosen->isValid())
        setLineColour(chosen->rgb());
}

void TfrmTrace::pickColourAt(QPoint at)
{
    // The current picture is what the trace reads; the marks of the last
    // trace are only shown.
    if (current_.isNull() || !current_.rect().contains(at))
        return;
    const uchar* p = current_.constScanLine(at.y()) + 3 * at.x();
    setLineColour(qRgb(p[0], p[1], p[2]));
    // One click takes one colour; the next drag draws a rectangle again.
    cbPickColour_->setChecked(false);
}

void TfrmTrace::readColourSettings()
{
    TraceColourRecord defaults;
    defaults.fields = { 0, kDefaultLineColour, kDefaultTolerance };
    const std::optional<QByteArray> bytes = readRecord(context_.store, kTraceColourValue, defaults.encode());
    // Without a settings key the defaults hold, not an all-black colour with no tolerance.
    const TraceColourRecord record = bytes ? TraceColourRecord::decode(*bytes) : defaults;
    cbColourMode_->setChecked(record.fields[0] != 0);
    setLineColour(colorFromBgr(record.fields[1] & 0x00FFFFFF).rgb());
    udTolerance_->setValue(record.fields[2]); // pulled into 0..441
    updateColourControls();
}

void TfrmTrace::writeColourSettings()
{
    TraceColourRecord record;
    record.fields = { colourMode() ? 1 : 0, bgrFromColor(QColor::fromRgb(lineColour_)), tolerance() };
    saveRecord(context_.store, kTraceColourValue, record);
}

} // namespace cvg
