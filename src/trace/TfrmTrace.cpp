// The trace window: its controls and tool bar, showing and hiding, and the
// questions before it closes.
#include "trace/TfrmTrace.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "shell/AppContext.h"
#include "shell/Icons.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"

#include <algorithm>
#include <QAction>
#include <QHideEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QShowEvent>
#include <QToolBar>
#include <QVBoxLayout>

namespace cvg {

namespace {

const QString kUntransferredQuestion
    = QStringLiteral("座標データはワークシートに転送されていません。転送せずに終了しますか？");
const QString kDiscardQuestion = QStringLiteral("データは破棄されます。よろしいですか？");

void drawFrame(QPainter& p, const QColor& outside, const QColor& inside)
{
    p.setPen(Qt::NoPen);
    p.setBrush(outside);
    p.drawRect(2, 2, 16, 16);
    p.setBrush(inside);
    p.drawRect(6, 6, 8, 8);
    p.setPen(QPen(Qt::red, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(6, 6, 8, 8);
}

// The pictures of the window's own buttons (20 x 20).
QIcon traceIcon(const QString& name)
{
    if (name == QLatin1String("acLoadImage"))
        return toolIcon(QStringLiteral("PublicLoadFile"));
    if (name == QLatin1String("acUndo"))
        return toolIcon(QStringLiteral("DataUndo"));
    if (name == QLatin1String("acHelp"))
        return toolIcon(QStringLiteral("acHelp"));
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QColor grey(150, 150, 150);
    if (name == QLatin1String("acSaveToGrid")) {
        p.setPen(QColor(60, 60, 60));
        p.setBrush(Qt::white);
        p.drawRect(8, 3, 10, 14);
        for (int y = 7; y < 17; y += 4)
            p.drawLine(8, y, 18, y);
        p.setPen(QPen(QColor(30, 120, 30), 2));
        p.drawLine(1, 10, 7, 10);
        p.drawLine(4, 7, 7, 10);
        p.drawLine(4, 13, 7, 10);
    } else if (name == QLatin1String("acOutsideRange")) {
        drawFrame(p, Qt::white, grey);
    } else if (name == QLatin1String("acInsideRange")) {
        drawFrame(p, grey, Qt::white);
    } else {
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(3, 2, 3, 17);
        p.drawLine(3, 17, 18, 17);
        const QPoint points[] = { { 5, 14 }, { 8, 9 }, { 11, 8 }, { 14, 10 }, { 17, 5 } };
        if (name == QLatin1String("acTrace")) {
            p.setPen(QPen(Qt::red, 2));
            for (const QPoint& pt : points)
                p.drawPoint(pt);
        } else {
            p.setPen(QPen(Qt::red, 1));
            p.drawPolyline(points, 5);
        }
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace

void TraceSelection::normalize()
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
}

// ---- creation ----------------------------------------------------------------------

TfrmTrace::TfrmTrace(TfrmMain& main, AppContext& context)
    : TToolWindow(&main, context, QStringLiteral("Trace"), { 0, 0, 125, 1 }, kToolWindowFlags)
    , main_(main)
{
    setObjectName(QStringLiteral("frmTrace"));
    setWindowTitle(QStringLiteral("線指定"));
    resize(context.screenSize.width() / 2, context.screenSize.height() / 2);
    createControls();

    // The stored threshold and interval replace the controls' own values;
    // values outside the ranges are pulled into them.
    udBoundColor_->setValue(storedExtra(0));
    udInterval_->setValue(storedExtra(1));
    boundColor_ = udBoundColor_->value();
    interval_ = udInterval_->value();
    engine_.LastIndex = -1;
    readColourSettings();
    readReadingSettings();
}

QAction* TfrmTrace::makeAction(
    const char* name, const QString& buttonHint, const QString& actionHint, void (TfrmTrace::*handler)())
{
    const QString objectName = QString::fromLatin1(name);
    auto* act = new QAction(traceIcon(objectName), actionHint, this);
    act->setObjectName(objectName);
    act->setToolTip(actionHint);
    act->setStatusTip(actionHint);
    act->setProperty("buttonHint", buttonHint);
    connect(act, &QAction::triggered, this,
        [this, handler] { main_.runCommand([this, handler] { (this->*handler)(); }); });
    return act;
}

void TfrmTrace::createControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("tbTrace"));
    toolBar->setIconSize(QSize(20, 20));
    const auto addButton = [&](QAction* act) {
        toolBar->addAction(act);
        // The button's hint may differ from the action's own.
        if (QWidget* button = toolBar->widgetForAction(act))
            button->setToolTip(act->property("buttonHint").toString());
    };
    const QString averageHint = QStringLiteral("全ての座標を読み込み平均する");
    addButton(makeAction("acLoadImage", QStringLiteral("画像の読込"), QStringLiteral("画像の読込"),
        &TfrmTrace::acLoadImageExecute));
    addButton(makeAction("acSaveToGrid", QStringLiteral("座標データをワークシートに転送"),
        QStringLiteral("座標データをワークシートに転送"), &TfrmTrace::acSaveToGridExecute));
    toolBar->addSeparator();
    addButton(makeAction("acUndo", QStringLiteral("変更を取り消す"), QStringLiteral("変更を取り消す"),
        &TfrmTrace::acUndoExecute));
    addButton(makeAction("acOutsideRange", QStringLiteral("矩形領域の外側を削除"),
        QStringLiteral("矩形領域の外側を削除"), &TfrmTrace::acOutsideRangeExecute));
    addButton(makeAction("acInsideRange", QStringLiteral("矩形領域の内側を削除"),
        QStringLiteral("矩形領域の内側を削除"), &TfrmTrace::acInsideRangeExecute));
    toolBar->addSeparator();
    addButton(makeAction("acTrace", QStringLiteral("全ての座標を読み込む"),
        QStringLiteral("全ての座標を読み込む"), &TfrmTrace::acTraceExecute));
    addButton(makeAction("acTraceAverage", averageHint, QStringLiteral("平均された座標を読み込む"),
        &TfrmTrace::acTraceAverageExecute));
    toolBar->addSeparator();

    const auto makeUpDown = [&](const char* name, const char* field, int minimum, int maximum, int initial,
                                const QString& fieldHint, const QString& hint) {
        auto* ud = new TUpDown(toolBar);
        ud->setObjectName(QString::fromLatin1(name));
        ud->field()->setObjectName(QString::fromLatin1(field));
        ud->field()->setReadOnly(true);
        ud->field()->setToolTip(fieldHint);
        ud->setToolTip(hint);
        ud->setRange(minimum, maximum);
        ud->setWrapping(false);
        ud->setValue(initial);
        ud->setFixedWidth(56);
        toolBar->addWidget(ud);
        return ud;
    };
    udBoundColor_ = makeUpDown("udBoundColor", "edtBoundColor", 0, 255, 160,
        QStringLiteral("境界色フィルター"), QStringLiteral("境界色フィルターの調節"));
    udInterval_ = makeUpDown("udInterval", "edtInterval", 1, 100, 10, QStringLiteral("点走査間隔"),
        QStringLiteral("点走査間隔の調節"));
    // Shift with the left button steps the threshold by 10.
    udBoundColor_->installEventFilter(this);
    connect(udBoundColor_, &QSpinBox::valueChanged, this, [this](int value) { boundColor_ = value; });
    connect(udInterval_, &QSpinBox::valueChanged, this, [this](int value) { interval_ = value; });
    toolBar->addSeparator();
    addButton(makeAction("acHelp", QStringLiteral("ディアログのヘルプを表示する"),
        QStringLiteral("ディアログのヘルプを表示する"), &TfrmTrace::acHelpExecute));
    toolBar->addSeparator();
    createColourControls(toolBar);
    layout->addWidget(toolBar);
    layout->addWidget(createReadingControls());

    sbImage_ = new QScrollArea(this);
    sbImage_->setObjectName(QStringLiteral("sbImage"));
    sbImage_->setWidgetResizable(false);
    sbContent_ = new QWidget;
    sbContent_->setAutoFillBackground(true);
    QPalette grey = sbContent_->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    sbContent_->setPalette(grey);
    sbImage_->setPalette(grey);
    sbImage_->setBackgroundRole(QPalette::Window);
    imImage_ = new TPictureView(sbContent_);
    imImage_->setObjectName(QStringLiteral("imImage"));
    imImage_->move(5, 5);
    pbPaint_ = new TPaintBox(sbContent_);
    pbPaint_->setObjectName(QStringLiteral("pbPaint"));
    pbPaint_->setCursor(Qt::CrossCursor);
    pbPaint_->hide();
    pbPaint_->onPaint = [this](QPainter& painter) { pbPaintPaint(painter); };
    sbContent_->resize(10, 10);
    sbImage_->setWidget(sbContent_);
    layout->addWidget(sbImage_, 1);
    layout->addWidget(lblReadingHint_);

    connect(pbPaint_, &TPaintBox::mousePressed, this,
        [this](QMouseEvent* e) { main_.runCommand([this, e] { pbPaintMouseDown(e); }); });
    connect(pbPaint_, &TPaintBox::mouseMoved, this,
        [this](QMouseEvent* e) { main_.runCommand([this, e] { pbPaintMouseMove(e); }); });
    connect(pbPaint_, &TPaintBox::mouseReleased, this,
        [this](QMouseEvent* e) { main_.runCommand([this, e] { pbPaintMouseUp(e); }); });
}

QLineEdit* TfrmTrace::edtBoundColor() const
{
    return udBoundColor_->field();
}

QLineEdit* TfrmTrace::edtInterval() const
{
    return udInterval_->field();
}

QLineEdit* TfrmTrace::edtTolerance() const
{
    return udTolerance_->field();
}

const QImage& TfrmTrace::displayPicture() const
{
    return imImage_->picture();
}

void TfrmTrace::setDisplay(const QImage& picture, bool colourMarks)
{
    colourMarksShown_ = colourMarks;
    imImage_->setPicture(picture);
    sbContent_->resize(picture.width() + 10, picture.height() + 10);
    pbPaint_->setGeometry(imImage_->geometry());
    pbPaint_->update();
}

bool TfrmTrace::eventFilter(QObject* watched, QEvent* event)
{
    // The tolerance steps like the threshold.
    if (watched == udBoundColor_ || watched == udTolerance_) {
        auto* ud = static_cast<TUpDown*>(watched);
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool shifted
                = mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ShiftModifier);
            ud->setSingleStep(shifted ? 10 : 1);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            ud->setSingleStep(1);
        }
    }
    return TToolWindow::eventFilter(watched, event);
}

// ---- showing and closing ---------------------------------------------------------------

void TfrmTrace::ShowTraceWindowExecute()
{
    QAction* act = main_.action(QStringLiteral("ShowTraceWindow"));
    // The click toggled the check; the window's visibility decides it.
    act->setChecked(isVisible());
    Dialogs& dialogs = context_.dialogs;
    if (!main_.doc().state.pictureLoaded) {
        dialogs.warning(QStringLiteral("画像が読み込まれていません。"));
        return;
    }
    if (!main_.doc().calibration.Converted) {
        dialogs.warning(QStringLiteral("換算値の計算がされていません。"));
        return;
    }
    main_.action(QStringLiteral("EditData"))->setChecked(false);
    if (main_.toolWindows())
        main_.toolWindows()->hidePointEditor();
    main_.action(QStringLiteral("DoDataCovert"))->setChecked(false);
    if (isVisible()) {
        hide();
    } else {
        show();
        raise();
    }
    act->setChecked(isVisible());
}

void TfrmTrace::showEvent(QShowEvent* event)
{
    TToolWindow::showEvent(event);
    if (!event->spontaneous())
        acLoadImageExecute();
}

void TfrmTrace::hideEvent(QHideEvent* event)
{
    TToolWindow::hideEvent(event);
    // Every close hides the window (and so does the end of the program,
    // which writes the "Trace" value without closing): the colour mode's and
    // the reading's values are written with it.
    if (!event->spontaneous()) {
        writeColourSettings();
        writeReadingSettings();
    }
}

bool TfrmTrace::closeQuery()
{
    if (!untransferred_)
        return true;
    Dialogs& dialogs = context_.dialogs;
    // A box closed without an answer lets the window close.
    const MsgResult first = dialogs.ask(kUntransferredQuestion);
    if (first == MsgResult::No)
        return false;
    if (first != MsgResult::Yes)
        return true;
    return dialogs.ask(kDiscardQuestion) != MsgResult::No;
}

void TfrmTrace::onClosed()
{
    main_.action(QStringLiteral("ShowTraceWindow"))->setChecked(false);
    engine_.Points.clear();
    engine_.LastIndex = -1;
    found_.clear();
    untransferred_ = false;
    selection_ = {};
    // The areas left out belong to the rectangle.
    excluded_.clear();
    stopWaitingForSeed();
    updateReadingControls();
    drag_ = Drag::Idle;
    setStoredExtra(0, boundColor_);
    setStoredExtra(1, interval_);
}

void TfrmTrace::acHelpExecute()
{
    if (main_.toolWindows())
        main_.toolWindows()->ShowHelpTopic(QStringLiteral("DialogLine.htm"));
    stayOnTop();
}

} // namespace cvg
