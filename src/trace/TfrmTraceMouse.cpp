// The trace window's rectangle: drawn, moved and resized with the mouse, and
// painted over the picture as an exclusive-or frame; the clicks that a
// reading waits for and the areas left out go through here too.
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "shell/AppContext.h"
#include "shell/Icons.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "trace/TfrmTrace.h"
#include "widgets/TPictureView.h"
#include "widgets/TUpDown.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

namespace cvg {

namespace {

// Within 5 pixels of v, either side (the ends excluded).
bool near(int v, int p)
{
    return v - 5 < p && p < v + 5;
}

// A strip of the picture (one row or one column) with every pixel's red
// channel inverted: what an exclusive-or pen in red leaves on it.
QImage xorStrip(const QImage& picture, const QRect& strip)
{
    QImage out(strip.size(), QImage::Format_RGB888);
    for (int row = 0; row < strip.height(); ++row) {
        const uchar* src = picture.constScanLine(strip.top() + row) + 3 * strip.left();
        uchar* dst = out.scanLine(row);
        for (int i = 0; i < 3 * strip.width(); i += 3) {
            dst[i] = uchar(src[i] ^ 0xFF);
            dst[i + 1] = src[i + 1];
            dst[i + 2] = src[i + 2];
        }
    }
    return out;
}

} // namespace

// ---- the mouse on the picture ----------------------------------------------------------

int TfrmTrace::handleAt(int x, int y) const
{
    const TraceSelection& s = selection_;
    int hit = 0;
    // Later tests replace earlier hits.
    if (near(s.left, x) && s.top + 5 < y && y < s.bottom - 5)
        hit = 1;
    if (near(s.right, x) && s.top + 5 < y && y < s.bottom - 5)
        hit = 2;
    if (s.left + 5 < x && x < s.right - 5 && near(s.top, y))
        hit = 3;
    if (s.left + 5 < x && x < s.right - 5 && near(s.bottom, y))
        hit = 4;
    if (near(s.left, x) && near(s.top, y))
        hit = 5;
    if (near(s.left, x) && near(s.bottom, y))
        hit = 6;
    if (near(s.right, x) && near(s.top, y))
        hit = 7;
    if (near(s.right, x) && near(s.bottom, y))
        hit = 8;
    return hit;
}

void TfrmTrace::pbPaintMouseDown(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (cbPickColour_->isChecked()) {
        pickColourAt(at);
        return;
    }
    if (waitingForSeed_) {
        takeSeed(at);
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier) {
        beginExcluding(at);
        return;
    }
    if (handle_ != 0) {
        drag_ = Drag::Resizing;
    } else {
        drag_ = Drag::Drawing;
        selection_ = { at.x(), at.y(), at.x(), at.y() };
        pbPaint_->update();
    }
}

void TfrmTrace::pbPaintMouseMove(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const int x = at.x();
    const int y = at.y();
    TraceSelection& s = selection_;
    switch (drag_) {
    case Drag::Idle: {
        if (cbPickColour_->isChecked() || waitingForSeed_) {
            // A click takes a colour or the seed; the rectangle's handles wait.
            handle_ = 0;
            pbPaint_->setCursor(Qt::PointingHandCursor);
            return;
        }
        handle_ = handleAt(x, y);
        static const Qt::CursorShape cursors[]
            = { Qt::CrossCursor, Qt::SizeHorCursor, Qt::SizeHorCursor, Qt::SizeVerCursor, Qt::SizeVerCursor,
                  Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeBDiagCursor, Qt::SizeFDiagCursor };
        pbPaint_->setCursor(cursors[handle_]);
        return;
    }
    case Drag::Resizing:
        switch (handle_) {
        case 1:
            s.left = x;
            break;
        case 2:
            s.right = x;
            break;
        case 3:
            s.top = y;
            break;
        case 4:
            s.bottom = y;
            break;
        case 5:
            s.left = x;
            s.top = y;
            break;
        case 6:
            s.left = x;
            s.bottom = y;
            break;
        case 7:
            s.right = x;
            s.top = y;
            break;
        case 8:
            s.right = x;
            s.bottom = y;
            break;
        default:
            break;
        }
        break;
    case Drag::Drawing:
        s.right = x;
        s.bottom = y;
        break;
    case Drag::Excluding:
        excludeTo_ = at;
        break;
    }
    scrollToFollow(x, y);
    pbPaint_->update();
}

void TfrmTrace::pbPaintMouseUp(QMouseEvent*)
{
    if (drag_ == Drag::Idle)
        return;
    if (drag_ == Drag::Excluding) {
        finishExcluding();
        return;
    }
    drag_ = Drag::Idle;
    if (selection_.left == selection_.right && selection_.top == selection_.bottom)
        selection_ = {};
    else
        selection_.normalize();
    pbPaint_->update();
}

void TfrmTrace::scrollToFollow(int x, int y)
{
    QScrollBar* horizontal = sbImage_->horizontalScrollBar();
    QScrollBar* vertical = sbImage_->verticalScrollBar();
    const int h = horizontal->value();
    const int v = vertical->value();
    if (x - h > sbImage_->width() - 50)
        horizontal->setValue(h + horizontal->singleStep());
    else if (x - h < 50)
        horizontal->setValue(h - horizontal->singleStep());
    if (y - v > sbImage_->height() - 50)
        vertical->setValue(v + vertical->singleStep());
    else if (y - v < 50)
        vertical->setValue(v - vertical->singleStep());
}

void TfrmTrace::pbPaintPaint(QPainter& painter)
{
    paintExcluded(painter);
    TraceSelection s = selection_;
    s.normalize();
    const QImage& shown = displayPicture();
    if (!s.hasArea() || shown.isNull())
        return;
    // The one-pixel outline over left..right-1, top..bottom-1, where it lies
    // on the picture.
    const QRect bounds = shown.rect();
    const QRect edges[] = { QRect(QPoint(s.left, s.top), QPoint(s.right - 1, s.top)),
        QRect(QPoint(s.left, s.bottom - 1), QPoint(s.right - 1, s.bottom - 1)),
        QRect(QPoint(s.left, s.top + 1), QPoint(s.left, s.bottom - 2)),
        QRect(QPoint(s.right - 1, s.top + 1), QPoint(s.right - 1, s.bottom - 2)) };
    for (const QRect& edge : edges) {
        const QRect visible = edge & bounds;
        if (!visible.isEmpty())
            painter.drawImage(visible.topLeft(), xorStrip(shown, visible));
    }
}

} // namespace cvg
