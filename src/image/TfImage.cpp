#include "image/TfImage.h"

#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/Icons.h"
#include "widgets/TPictureView.h"
#include "calibration/TfDeform.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "worksheet/OverviewMarks.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace cvg {

// ---- the range frame ---------------------------------------------------------------

TRangeFrame::TRangeFrame(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("imFrame"));
    resize(0, 0);
}

void TRangeFrame::setFrame(const QImage& frame)
{
    frame_ = frame;
    // White is the frame's transparent colour.
    QImage shown(frame.size(), QImage::Format_ARGB32);
    for (int y = 0; y < frame.height(); ++y) {
        const uchar* in = frame.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < frame.width(); ++x, in += 3)
            out[x] = in[0] == 255 && in[1] == 255 && in[2] == 255 ? 0 : qRgb(in[0], in[1], in[2]);
    }
    shown_ = QPixmap::fromImage(shown);
    resize(frame.size());
    update();
}

void TRangeFrame::paintEvent(QPaintEvent*)
{
    if (shown_.isNull())
        return;
    QPainter p(this);
    p.drawPixmap(0, 0, shown_);
}

void TRangeFrame::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    pressed_ = event->globalPosition().toPoint();
}

void TRangeFrame::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_)
        return;
    // The grabbed point stays under the pointer; the frame may leave the overview.
    const QPoint now = event->globalPosition().toPoint();
    move(pos() + (now - pressed_));
    pressed_ = now;
}

void TRangeFrame::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    if (onDropped)
        onDropped(pos());
}

// ---- the overview window -------------------------------------------------------------

TfImage::TfImage(TfrmMain& main, AppContext& context)
    : TToolWindow(&main, context, QStringLiteral("Image"), { 0, 0 }, kToolWindowFlags)
    , main_(main)
{
    setObjectName(QStringLiteral("fImage"));
    setWindowTitle(QStringLiteral("編集画像"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize); // the window takes its content's size

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("tbOverview"));
    toolBar_->setIconSize(QSize(20, 20));
    struct Button {
        const char* name;
        const char* icon;
        const char* hint;
        void (TfImage::*handler)();
    };
    const Button buttons[] = {
        { "butPoints", "DoDataCovert", "座標値を表示する", &TfImage::DrawOverviewPoints },
        { "butCorrection", "acDeformationData", "歪修正状態を表示する", &TfImage::DrawCorrectionFrame },
        { "butHelp", "acHelp", "ディアログのヘルプを表示する", &TfImage::helpClick },
    };
    for (const Button& b : buttons) {
        QAction* act = toolBar_->addAction(toolIcon(QString::fromLatin1(b.icon)), QString::fromUtf8(b.hint));
        act->setObjectName(QString::fromLatin1(b.name));
        act->setToolTip(QString::fromUtf8(b.hint));
        toolBar_->widgetForAction(act)->setObjectName(QString::fromLatin1(b.name));
        const auto handler = b.handler;
        connect(act, &QAction::triggered, this,
            [this, handler] { main_.runCommand([this, handler] { (this->*handler)(); }); });
    }
    layout->addWidget(toolBar_);

    pnOverview_ = new QWidget(this);
    pnOverview_->setObjectName(QStringLiteral("pnOverview"));
    pnOverview_->setFixedSize(0, 0);
    imOverview_ = new TPictureView(pnOverview_);
    imOverview_->setObjectName(QStringLiteral("imOverview"));
    imOverview_->move(0, 0);
    imFrame_ = new TRangeFrame(pnOverview_);
    imFrame_->move(0, 0);
    imFrame_->raise();
    imFrame_->onDropped
        = [this](QPoint topLeft) { main_.runCommand([this, topLeft] { frameDropped(topLeft); }); };
    layout->addWidget(pnOverview_);

    // Scrolling the main view by other means moves the frame with it.
    for (QScrollBar* bar : { main.sbImage()->horizontalScrollBar(), main.sbImage()->verticalScrollBar() })
        connect(bar, &QScrollBar::valueChanged, this, [this] { followMainView(); });
    // The main view's box changes with the window and the splitter; the
    // frame keeps its size.
    main.sbImage()->installEventFilter(this);
}

bool TfImage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == main_.sbImage() && event->type() == QEvent::Resize && isVisible())
        RebuildFrame();
    return TToolWindow::eventFilter(watched, event);
}

bool TfImage::ShowOverview()
{
    Document& doc = main_.doc();
    const QImage& source = main_.markedPicture();
    const std::optional<OverviewGeometry> geometry
        = overviewGeometry(context_.screenSize.width(), source.size());
    QImage overview = geometry ? makeOverviewPicture(source, *geometry) : QImage();
    if (overview.isNull()) {
        doc.images.overviewImage = newPicture(0, 0);
        imOverview_->setPicture(QImage());
        hide();
        context_.dialogs.info(QStringLiteral("画像が読込まれていません"));
        return false;
    }
    doc.images.overviewImage = overview;
    geometry_ = *geometry;
    show();
    RebuildFrame();
    imOverview_->setPicture(overview);
    pnOverview_->setFixedSize(overview.size());
    followMainView();
    adjustSize();
    return true;
}

bool TfImage::HideOverview()
{
    main_.doc().images.overviewImage = newPicture(0, 0);
    imOverview_->setPicture(QImage());
    if (isVisible()) {
        // Hiding by the action is a close too: the place is kept.
        writeSettings();
        hide();
    }
    return false;
}

void TfImage::RebuildFrame()
{
    if (geometry_.width <= 0)
        return;
    QScrollArea* box = main_.sbImage();
    const int extent = box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, box);
    const ScrollBarInfo horizontal { extent, box->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff };
    const ScrollBarInfo vertical { extent, box->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff };
    // The view shows the picture zoomed: its visible part covers that many
    // fewer (or more) picture pixels.
    const double zoom = main_.zoom();
    imFrame_->setFrame(makeRangeFrame(
        rangeFrameSize(box->size(), horizontal, vertical, geometry_.sx / zoom, geometry_.sy / zoom)));
}

void TfImage::DrawOverviewPoints()
{
    const QImage& overview = main_.doc().images.overviewImage;
    if (overview.isNull() || overview.width() == 0)
        return;
    QImage marked = overview.copy();
    const WorksheetPage& page = main_.doc().sheets.currentPage();
    drawOverviewPoints(
        marked, ReadPoints(page), PointCount(page), main_.pictureHeight(), geometry_.sx, geometry_.sy);
    imOverview_->setPicture(marked);
}

void TfImage::DrawCorrectionFrame()
{
    const QImage& overview = main_.doc().images.overviewImage;
    if (overview.isNull() || overview.width() == 0)
        return;
    QImage marked = overview.copy();
    drawCorrectionFrame(marked, main_.doc().calibration, main_.pictureHeight(), geometry_.sx, geometry_.sy);
    imOverview_->setPicture(marked);
}

void TfImage::ImageWindowExecute()
{
    QAction* act = main_.action(QStringLiteral("ImageWindow"));
    // The check follows the window; the click has already flipped it.
    const bool shown = isVisible();
    const Document& doc = main_.doc();
    if (!doc.state.pictureLoaded) {
        act->setChecked(shown);
        context_.dialogs.warning(QStringLiteral("画像が読み込まれていません。"));
        return;
    }
    if (!doc.calibration.Converted) {
        act->setChecked(shown);
        context_.dialogs.warning(QStringLiteral("換算値が計算されていません。"));
        return;
    }
    if (shown) {
        act->setChecked(HideOverview());
        return;
    }
    showRebuilt();
}

void TfImage::showRebuilt()
{
    const bool shown = ShowOverview();
    main_.action(QStringLiteral("ImageWindow"))->setChecked(shown);
    if (!shown)
        return;
    DrawOverviewPoints();
    stayOnTop();
}

void TfImage::refresh()
{
    if (!isVisible())
        return;
    if (!ShowOverview()) {
        main_.action(QStringLiteral("ImageWindow"))->setChecked(false);
        return;
    }
    // While the calibration dialog is open the corrected rectangle is of interest.
    ToolWindows* windows = main_.toolWindows();
    if (windows && windows->fDeform && windows->fDeform->isVisible())
        DrawCorrectionFrame();
    else
        DrawOverviewPoints();
}

void TfImage::frameDropped(QPoint topLeft)
{
    // The scroll positions are on the zoomed view, the same proportion of
    // its extent as the frame's offset is of the overview's.
    const QSize view = main_.imImage()->size();
    QScrollArea* box = main_.sbImage();
    dropping_ = true;
    box->horizontalScrollBar()->setValue(frameDropScroll(topLeft.x(), view.width(), geometry_.width));
    box->verticalScrollBar()->setValue(frameDropScroll(topLeft.y(), view.height(), geometry_.height));
    dropping_ = false;
}

void TfImage::followMainView()
{
    if (dropping_ || imFrame_->dragging() || !isVisible() || geometry_.width <= 0)
        return;
    const QSize view = main_.imImage()->size();
    QScrollArea* box = main_.sbImage();
    imFrame_->move(
        frameOffsetForScroll(box->horizontalScrollBar()->value(), view.width(), geometry_.width),
        frameOffsetForScroll(box->verticalScrollBar()->value(), view.height(), geometry_.height));
}

void TfImage::helpClick()
{
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (!isVisible())
        show();
    if (main_.toolWindows())
        main_.toolWindows()->ShowHelpTopic(QStringLiteral("DialogImage.htm"));
    stayOnTop();
}

void TfImage::onClosed()
{
    main_.action(QStringLiteral("ImageWindow"))->setChecked(false);
}

} // namespace cvg
