// The main view's zoom, the loupe, all pages at once and the view value
// that remembers them.
#include "platform/SettingsStore.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "widgets/TLoupe.h"
#include "widgets/TPictureView.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace cvg {

namespace {

// The steps of zooming in and out.
const double kZoomLadder[] = {0.1, 0.125, 0.167, 0.25, 0.333, 0.5, 0.667, 1.0, 1.5,
                              2.0, 3.0,   4.0,   6.0,  8.0,   12.0, 16.0};

QString zoomText(double factor)
{
    const double percent = factor * 100.0;
    // Whole percents as such, others with one decimal (12.5 %).
    if (std::abs(percent - std::round(percent)) < 0.05)
        return QStringLiteral("%1%").arg(std::lround(percent));
    return QStringLiteral("%1%").arg(percent, 0, 'f', 1);
}

} // namespace

void TfrmMain::createZoomActions()
{
    // "+" is a shifted key on most keyboards: the unshifted neighbours work too.
    action(QStringLiteral("acZoomIn"))
        ->setShortcuts({QKeySequence(QStringLiteral("Ctrl++")), QKeySequence(QStringLiteral("Ctrl+=")),
                        QKeySequence(QStringLiteral("Ctrl+;"))});
    onAction(QStringLiteral("acZoomIn"), &TfrmMain::zoomInExecute);
    onAction(QStringLiteral("acZoomOut"), &TfrmMain::zoomOutExecute);
    onAction(QStringLiteral("acZoomFit"), &TfrmMain::zoomToFit);
    onAction(QStringLiteral("acZoomActual"), &TfrmMain::zoomActualExecute);
    onAction(QStringLiteral("acShowAllPages"), &TfrmMain::acShowAllPagesExecute);
    onAction(QStringLiteral("acDeleteKey"), &TfrmMain::DeleteKeyExecute);
    sbImage_->viewport()->installEventFilter(this);
    loupe_ = new TLoupe(sbImage_->viewport());
}

void TfrmMain::readViewSettings()
{
    if (!context_.store.available())
        return;
    viewSettings_ = loadRecord<ViewSettings>(context_.store, QStringLiteral("View"), ViewSettings{});
    recent_ = loadRecord<RecentFiles>(context_.store, QStringLiteral("Recent"), RecentFiles{});
    action(QStringLiteral("acShowAllPages"))->setChecked(viewSettings_.showAllPages != 0);
    applyZoom(ViewScale(double(viewSettings_.zoomPermille) / 1000.0));
    rebuildRecentMenu();
}

void TfrmMain::writeViewSettings()
{
    saveRecord(context_.store, QStringLiteral("View"), viewSettings_);
    saveRecord(context_.store, QStringLiteral("Recent"), recent_);
}

double TfrmMain::zoom() const
{
    return imImage_->scale().factor();
}

void TfrmMain::applyZoom(const ViewScale& scale)
{
    imImage_->setScale(scale);
    pbPaint_->setScale(scale);
    pbGraph_->setScale(scale);
    sbImageContent_->resize(imImage_->size());
    FitPaintBox(pbGraph_);
    if (pbPaint_->isVisible())
        FitPaintBox(pbPaint_);
    viewSettings_.zoomPermille = int32_t(std::lround(scale.factor() * 1000.0));
    lblZoom_->setText(zoomText(scale.factor()));
    hideLoupe();
    if (windows_)
        windows_->viewScaleChanged();
    pbGraph_->update();
    pbPaint_->update();
}

void TfrmMain::setZoom(double factor, std::optional<QPoint> anchor)
{
    const ViewScale next(factor);
    const double before = zoom();
    if (next == imImage_->scale())
        return;
    QWidget* port = sbImage_->viewport();
    const QPoint at = anchor.value_or(QPoint(port->width() / 2, port->height() / 2));
    QScrollBar* h = sbImage_->horizontalScrollBar();
    QScrollBar* v = sbImage_->verticalScrollBar();
    // The picture position under the anchor, in picture pixels.
    const QPoint origin = imImage_->pos();
    const double px = (h->value() + at.x() - origin.x()) / before;
    const double py = (v->value() + at.y() - origin.y()) / before;
    applyZoom(next);
    h->setValue(int(std::lround(px * next.factor() + origin.x() - at.x())));
    v->setValue(int(std::lround(py * next.factor() + origin.y() - at.y())));
    if (windows_)
        windows_->overviewFrame();
}

void TfrmMain::zoomStep(int steps, std::optional<QPoint> anchor)
{
    double factor = zoom();
    const int n = int(std::size(kZoomLadder));
    for (; steps > 0; --steps) {
        int i = 0;
        while (i < n && kZoomLadder[i] <= factor * 1.001)
            ++i;
        factor = kZoomLadder[std::min(i, n - 1)];
    }
    for (; steps < 0; ++steps) {
        int i = n - 1;
        while (i >= 0 && kZoomLadder[i] >= factor * 0.999)
            --i;
        factor = kZoomLadder[std::max(i, 0)];
    }
    setZoom(factor, anchor);
}

void TfrmMain::zoomInExecute()
{
    zoomStep(1);
}

void TfrmMain::zoomOutExecute()
{
    zoomStep(-1);
}

void TfrmMain::zoomActualExecute()
{
    setZoom(1.0);
}

void TfrmMain::zoomToFit()
{
    const QSize picture = imImage_->pictureSize();
    if (picture.isEmpty())
        return;
    const QSize room = sbImage_->maximumViewportSize();
    const double factor = std::min(double(room.width()) / picture.width(), double(room.height()) / picture.height());
    // Fitting never lands on a size that needs scroll bars after all.
    setZoom(std::floor(factor * 1000.0) / 1000.0);
}

void TfrmMain::zoomWheel(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    // A notch is 120; finer wheels step once they add up to one.
    wheelRest_ += delta;
    const int steps = wheelRest_ / 120;
    wheelRest_ -= steps * 120;
    if (steps != 0)
        zoomStep(steps, event->position().toPoint());
}

void TfrmMain::showLoupe(int x, int row)
{
    const QPoint view = imImage_->scale().toView(QPoint(x, row));
    const QPoint near = imImage_->mapTo(sbImage_->viewport(), view);
    loupe_->showPixel(shownPicture(), QPoint(x, row), QStringLiteral("%1, %2").arg(x).arg(pictureHeight() - row),
                      near);
}

void TfrmMain::hideLoupe()
{
    if (loupe_)
        loupe_->hide();
}

void TfrmMain::acShowAllPagesExecute()
{
    viewSettings_.showAllPages = action(QStringLiteral("acShowAllPages"))->isChecked() ? 1 : 0;
    updateSheetListColours();
    RedrawPointMarkers(settings_.connectLine != 0);
}

void TfrmMain::updateSheetListColours()
{
    // While all pages are shown, each entry of the sheet list carries its
    // page's colour; the current page is drawn red.
    const bool on = allPagesShown();
    const int current = doc_.sheets.currentIndex();
    for (int i = 0; i < cbxSheetList_->count(); ++i) {
        if (!on) {
            cbxSheetList_->setItemIcon(i, QIcon());
            continue;
        }
        QPixmap swatch(12, 12);
        swatch.fill(QColor(i == current ? QRgb(kLineColor) : pageColour(i)));
        QPainter p(&swatch);
        p.setPen(Qt::black);
        p.drawRect(0, 0, 11, 11);
        p.end();
        cbxSheetList_->setItemIcon(i, QIcon(swatch));
    }
}

} // namespace cvg
