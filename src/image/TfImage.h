#pragma once

#include "image/Overview.h"
#include "widgets/TToolWindow.h"

#include <QImage>
#include <QPixmap>
#include <functional>

class QToolBar;
class QToolButton;

namespace cvg {

class TfrmMain;
class TPictureView;

// The red range frame over the overview: white is drawn transparent, and
// the whole frame can be dragged with the left button.
class TRangeFrame final : public QWidget {
public:
    explicit TRangeFrame(QWidget* parent);
    void setFrame(const QImage& frame);
    const QImage& frame() const { return frame_; }
    bool dragging() const { return dragging_; }
    // Called when the frame was dropped, with its top-left corner.
    std::function<void(QPoint)> onDropped;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage frame_;
    QPixmap shown_;
    bool dragging_ = false;
    QPoint pressed_; // screen position of the last press or move
};

// The overview window: the whole picture reduced to a quarter of the
// screen's width, with the red frame of the part the main view shows.
class TfImage final : public TToolWindow {
    Q_OBJECT
public:
    TfImage(TfrmMain& main, AppContext& context);

    // Rebuilds the overview from the main view's picture and shows it; false
    // (after a message) when there is nothing to reduce.
    bool ShowOverview();
    // Clears the overview and hides the window; always false.
    bool HideOverview();
    // The current page's points, or the corrected reference rectangle, on a
    // copy of the overview.
    void DrawOverviewPoints();
    void DrawCorrectionFrame();
    // The frame's size follows the main view's visible area.
    void RebuildFrame();
    // The frame moves to the part the main view shows.
    void followMainView();
    // Main window action "画像全体(&A)".
    void ImageWindowExecute();
    // While shown: rebuilt from the main view and marked again.
    void refresh();
    // Rebuilt and shown whatever its state, the action checked to match.
    void showRebuilt();

    const OverviewGeometry& geometry() const { return geometry_; }
    TPictureView* imOverview() const { return imOverview_; }
    TRangeFrame* imFrame() const { return imFrame_; }
    QWidget* pnOverview() const { return pnOverview_; }

protected:
    void onClosed() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void frameDropped(QPoint topLeft);
    void helpClick();

    TfrmMain& main_;
    OverviewGeometry geometry_;
    QToolBar* toolBar_ = nullptr;
    QWidget* pnOverview_ = nullptr;
    TPictureView* imOverview_ = nullptr;
    TRangeFrame* imFrame_ = nullptr;
    bool dropping_ = false;
};

} // namespace cvg
