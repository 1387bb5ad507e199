// The trace window's readings by name: the list with the limits of following
// and of markers, kept in their own settings value; the click on the curve
// that following starts from; and the areas left out of every reading.
#include "platform/Dialogs.h"
#include "settings/SettingsRecords.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "trace/TfrmTrace.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <array>

namespace cvg {

namespace {

// The reading 0..5, the longest gap that following bridges (0: 5 % of the
// rectangle's width) and a marker's width (0: found from the picture).
const QString kTraceReadingValue = QStringLiteral("TraceReading");
constexpr TraceReading kDefaultReading = TraceReading::Average;
constexpr int kMaxGapLimit = 10000;
constexpr int kMarkerSizeLimit = 1000;

const QString kIdleHint = QStringLiteral("Shift+ドラッグで矩形領域の中に除外する領域を指定できます");
const QString kSeedHint = QStringLiteral("追跡する曲線の上をクリックしてください（Esc で中止）");
const QString kSeedOutsideHint
    = QStringLiteral("矩形領域の内側で追跡する曲線の上をクリックしてください（Esc で中止）");
const QString kExcludeNeedsRectangle
    = QStringLiteral("除外する領域は、矩形領域を指定してからその内側に Shift+ドラッグで指定します");

// The areas left out, hatched so that the picture still shows through.
const QColor kExcludedColour(0, 90, 255);

struct ReadingName {
    QString caption;
    QString hint;
};

const std::array<ReadingName, kTraceReadings>& readingNames()
{
    static const std::array<ReadingName, kTraceReadings> names = { {
        { QStringLiteral("全ての座標"), QStringLiteral("線の全ての点を読み込む") },
        { QStringLiteral("平均"), QStringLiteral("列ごとに平均した点を読み込む") },
        { QStringLiteral("精密な平均"), QStringLiteral("列ごとに線の中心を小数点以下まで読み込む") },
        { QStringLiteral("曲線を追跡"), QStringLiteral("クリックした曲線だけを交差や途切れを越えてたどる") },
        { QStringLiteral("マーカー"), QStringLiteral("マーカーごとにその中心を一点読み込む") },
        { QStringLiteral("棒グラフ"), QStringLiteral("棒ごとに中心の列と先端を一点読み込む") },
    } };
    return names;
}

// The pixels of the rectangle, inclusive; none for a rectangle without area.
QRect insideOf(TraceSelection s)
{
    s.normalize();
    if (!s.hasArea())
        return {};
    return QRect(QPoint(s.left, s.top), QPoint(s.right - 1, s.bottom - 1));
}

// The inclusive rectangle with the two points as corners, in any order.
QRect spanning(QPoint a, QPoint b)
{
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
        QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

} // namespace

QToolBar* TfrmTrace::createReadingControls()
{
    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("tbReading"));
    toolBar->setIconSize(QSize(20, 20));

    toolBar->addWidget(new QLabel(QStringLiteral(" 読み取り方 "), toolBar));
    cbxReading_ = new QComboBox(toolBar);
    cbxReading_->setObjectName(QStringLiteral("cbxReading"));
    cbxReading_->setToolTip(QStringLiteral("座標の読み取り方"));
    for (const ReadingName& name : readingNames()) {
        cbxReading_->addItem(name.caption);
        cbxReading_->setItemData(cbxReading_->count() - 1, name.hint, Qt::ToolTipRole);
    }
    toolBar->addWidget(cbxReading_);

    auto* act = makeAction("acTraceReading", QStringLiteral("選んだ読み取り方で座標を読み込む"),
        QStringLiteral("選んだ読み取り方で座標を読み込む"), &TfrmTrace::acTraceReadingExecute);
    act->setText(QStringLiteral("読込"));
    toolBar->addAction(act);
    if (auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(act))) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setToolTip(act->property("buttonHint").toString());
    }
    toolBar->addSeparator();

    const auto makeLimit
        = [&](const char* name, const char* field, const QString& caption, int maximum, const QString& hint) {
              toolBar->addWidget(new QLabel(QLatin1Char(' ') + caption + QLatin1Char(' '), toolBar));
              auto* ud = new TUpDown(toolBar);
              ud->setObjectName(QString::fromLatin1(name));
              ud->field()->setObjectName(QString::fromLatin1(field));
              ud->setRange(0, maximum);
              ud->setWrapping(false);
              // 0 leaves the limit to the reading.
              ud->setSpecialValueText(QStringLiteral("自動"));
              ud->setToolTip(hint);
              ud->field()->setToolTip(caption);
              ud->setFixedWidth(72);
              toolBar->addWidget(ud);
              return ud;
          };
    udMaxGap_ = makeLimit("udMaxGap", "edtMaxGap", QStringLiteral("最大の途切れ"), kMaxGapLimit,
        QStringLiteral("追跡で越える途切れの最大の幅 (ピクセル、自動: 矩形領域の幅の5%)"));
    udMarkerSize_ = makeLimit("udMarkerSize", "edtMarkerSize", QStringLiteral("マーカーの幅"),
        kMarkerSizeLimit, QStringLiteral("マーカーの幅 (ピクセル、自動: 画像から求める)"));
    toolBar->addSeparator();

    butClearExcluded_ = new QToolButton(toolBar);
    butClearExcluded_->setObjectName(QStringLiteral("butClearExcluded"));
    butClearExcluded_->setText(QStringLiteral("除外をクリア"));
    butClearExcluded_->setToolTip(QStringLiteral("除外した領域を全て取り消す"));
    toolBar->addWidget(butClearExcluded_);

    // A line of its own under the picture, so that a narrow window still shows it.
    lblReadingHint_ = new QLabel(kIdleHint, this);
    lblReadingHint_->setObjectName(QStringLiteral("lblReadingHint"));
    lblReadingHint_->setContentsMargins(4, 2, 4, 2);

    connect(cbxReading_, &QComboBox::currentIndexChanged, this, [this] {
        // Another reading needs no click on a curve.
        stopWaitingForSeed();
        updateReadingControls();
    });
    connect(butClearExcluded_, &QToolButton::clicked, this,
        [this] { main_.runCommand([this] { butClearExcludedClick(); }); });
    return toolBar;
}

TraceReading TfrmTrace::reading() const
{
    return TraceReading(std::clamp(cbxReading_->currentIndex(), 0, kTraceReadings - 1));
}

void TfrmTrace::setReading(TraceReading reading)
{
    cbxReading_->setCurrentIndex(int(reading));
}

void TfrmTrace::updateReadingControls()
{
    udMaxGap_->setEnabled(reading() == TraceReading::Follow);
    udMarkerSize_->setEnabled(reading() == TraceReading::Markers);
    butClearExcluded_->setEnabled(!excluded_.empty());
}

void TfrmTrace::showHint(const QString& text)
{
    lblReadingHint_->setText(text);
}

void TfrmTrace::readReadingSettings()
{
    TraceReadingRecord defaults;
    defaults.fields = { int32_t(kDefaultReading), 0, 0 };
    const std::optional<QByteArray> bytes = readRecord(context_.store, kTraceReadingValue, defaults.encode());
    const TraceReadingRecord record = bytes ? TraceReadingRecord::decode(*bytes) : defaults;
    const int32_t chosen = record.fields[0];
    setReading(chosen >= 0 && chosen < kTraceReadings ? TraceReading(chosen) : kDefaultReading);
    // Pulled into their ranges; below 0 is the reading's own choice.
    udMaxGap_->setValue(record.fields[1]);
    udMarkerSize_->setValue(record.fields[2]);
    updateReadingControls();
}

void TfrmTrace::writeReadingSettings()
{
    TraceReadingRecord record;
    record.fields = { int32_t(reading()), udMaxGap_->value(), udMarkerSize_->value() };
    saveRecord(context_.store, kTraceReadingValue, record);
}

// ---- running the chosen reading ------------------------------------------------------

void TfrmTrace::acTraceReadingExecute()
{
    const TraceReading chosen = reading();
    stopWaitingForSeed();
    // Without a rectangle the reading itself says so.
    if (chosen != TraceReading::Follow || !selection_.hasArea()) {
        runReading(chosen);
        return;
    }
    waitForSeed();
}

void TfrmTrace::waitForSeed()
{
    waitingForSeed_ = true;
    showHint(kSeedHint);
    pbPaint_->setCursor(Qt::PointingHandCursor);
}

void TfrmTrace::stopWaitingForSeed()
{
    if (!waitingForSeed_)
        return;
    waitingForSeed_ = false;
    showHint(kIdleHint);
    pbPaint_->setCursor(Qt::CrossCursor);
}

void TfrmTrace::takeSeed(QPoint at)
{
    if (!insideOf(selection_).contains(at)) {
        showHint(kSeedOutsideHint);
        return;
    }
    stopWaitingForSeed();
    // A seed away from the line waits for the next click (runReading says why).
    if (!runReading(TraceReading::Follow, at) && seedMissed_)
        waitForSeed();
}

void TfrmTrace::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && waitingForSeed_) {
        stopWaitingForSeed();
        event->accept();
        return;
    }
    TToolWindow::keyPressEvent(event);
}

// ---- areas left out ------------------------------------------------------------------

void TfrmTrace::beginExcluding(QPoint at)
{
    if (insideOf(selection_).isEmpty()) {
        showHint(kExcludeNeedsRectangle);
        return;
    }
    drag_ = Drag::Excluding;
    excludeFrom_ = at;
    excludeTo_ = at;
    pbPaint_->update();
}

void TfrmTrace::finishExcluding()
{
    drag_ = Drag::Idle;
    const QRect area = spanning(excludeFrom_, excludeTo_) & insideOf(selection_);
    // A Shift-click without a drag leaves nothing out.
    if (excludeFrom_ != excludeTo_ && !area.isEmpty())
        excluded_.push_back(area);
    updateReadingControls();
    pbPaint_->update();
}

void TfrmTrace::butClearExcludedClick()
{
    excluded_.clear();
    updateReadingControls();
    pbPaint_->update();
}

void TfrmTrace::paintExcluded(QPainter& painter) const
{
    const auto hatch = [&painter](const QRect& area) {
        painter.setPen(QPen(kExcludedColour, 1, Qt::DashLine));
        painter.setBrush(QBrush(kExcludedColour, Qt::BDiagPattern));
        // The outline covers the area's own edge pixels.
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    };
    for (const QRect& area : excluded_)
        hatch(area);
    if (drag_ == Drag::Excluding)
        hatch(spanning(excludeFrom_, excludeTo_));
    painter.setBrush(Qt::NoBrush);
}

} // namespace cvg
