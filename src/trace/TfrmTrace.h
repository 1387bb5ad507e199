#pragma once

#include "trace/Readings.h"
#include "trace/TraceLine.h"
#include "widgets/TToolWindow.h"

#include <QImage>
#include <QRect>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPainter;
class QScrollArea;
class QToolBar;
class QToolButton;

namespace cvg {

class TfrmMain;
class TPaintBox;
class TPictureView;
class TUpDown;

// The selection rectangle in picture pixels (origin top-left). All 0 means
// none; it may be unordered while the mouse drags it.
struct TraceSelection {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool hasArea() const { return left != right && top != bottom; }
    bool isClear() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    void normalize();
    bool operator==(const TraceSelection&) const = default;
};

// The readings the window offers, in the order of its list; the stored
// choice is the index.
enum class TraceReading { All, Average, Precise, Follow, Markers, Bars };
inline constexpr int kTraceReadings = 6;

// The trace window: a copy of the corrected picture in which the user drags
// a rectangle, erases inside or outside it (one level of undo), reads the
// line, the curve, the markers or the bars inside it, leaving out the areas
// drawn with Shift, and transfers the points to a worksheet. It works on its
// own pictures only; the document's pictures stay as they are.
class TfrmTrace final : public TToolWindow {
    Q_OBJECT
public:
    // What the mouse is doing: the rectangle, or an area left out.
    enum class Drag { Idle, Drawing, Resizing, Excluding };

    TfrmTrace(TfrmMain& main, AppContext& context);

    // The main window's action: toggles the window after its checks.
    void ShowTraceWindowExecute();

    void acLoadImageExecute();
    void acSaveToGridExecute();
    void acUndoExecute();
    void acOutsideRangeExecute();
    void acInsideRangeExecute();
    void acTraceExecute();
    void acTraceAverageExecute();
    // Runs the reading chosen in the list; following first waits for the
    // click on the curve.
    void acTraceReadingExecute();
    void butClearExcludedClick();

    // The colour mode: the line is told by its colour instead of its
    // brightness, so one of several curves of different colours can be
    // traced alone.
    void cbColourModeClick();
    // Opens the colour chooser for the line's colour.
    void butPickColourClick();

    // State the tests look at.
    const TraceSelection& selection() const { return selection_; }
    int handle() const { return handle_; }
    Drag drag() const { return drag_; }
    const QImage& loadedPicture() const { return loaded_; }
    const QImage& currentPicture() const { return current_; }
    const QImage& undoPicture() const { return undo_; }
    const QImage& displayPicture() const;
    // The engine's own list (every pixel, or averaged); empty after the
    // other readings.
    const std::vector<TXYData>& tracedPoints() const { return engine_.Points; }
    // What the last reading found, as it is transferred.
    const std::vector<PrecisePoint>& readingPoints() const { return found_; }
    TraceReading reading() const;
    void setReading(TraceReading reading);
    bool waitingForSeed() const { return waitingForSeed_; }
    const std::vector<QRect>& excludedAreas() const { return excluded_; }
    bool untransferred() const { return untransferred_; }
    int rememberedBoundColor() const { return boundColor_; }
    int rememberedInterval() const { return interval_; }
    bool colourMode() const;
    QRgb lineColour() const { return lineColour_; }
    int tolerance() const;
    // The colour the marks of the last trace were drawn in.
    QRgb markColour() const;

    TUpDown* udBoundColor() const { return udBoundColor_; }
    TUpDown* udInterval() const { return udInterval_; }
    QLineEdit* edtBoundColor() const;
    QLineEdit* edtInterval() const;
    TPaintBox* pbPaint() const { return pbPaint_; }
    QScrollArea* sbImage() const { return sbImage_; }
    TPictureView* imImage() const { return imImage_; }
    QCheckBox* cbColourMode() const { return cbColourMode_; }
    QToolButton* butPickColour() const { return butPickColour_; }
    TUpDown* udTolerance() const { return udTolerance_; }
    QLineEdit* edtTolerance() const;
    QCheckBox* cbPickColour() const { return cbPickColour_; }
    QComboBox* cbxReading() const { return cbxReading_; }
    TUpDown* udMaxGap() const { return udMaxGap_; }
    TUpDown* udMarkerSize() const { return udMarkerSize_; }
    QToolButton* butClearExcluded() const { return butClearExcluded_; }
    QLabel* lblReadingHint() const { return lblReadingHint_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool closeQuery() override;
    void onClosed() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QAction* makeAction(
        const char* name, const QString& buttonHint, const QString& actionHint, void (TfrmTrace::*handler)());
    void createControls();
    void acHelpExecute();
    // colourMarks: the picture carries the marks of a trace by colour.
    void setDisplay(const QImage& picture, bool colourMarks = false);
    void createColourControls(QToolBar* toolBar);
    void readColourSettings();
    void writeColourSettings();
    void setLineColour(QRgb colour);
    void updateColourControls();
    // Takes the colour of the current picture's pixel under the mouse.
    void pickColourAt(QPoint at);
    // The second tool bar, and the line of hints that goes under the picture.
    QToolBar* createReadingControls();
    void readReadingSettings();
    void writeReadingSettings();
    void updateReadingControls();
    void showHint(const QString& text);
    void waitForSeed();
    void stopWaitingForSeed();
    // The click while waiting for the seed.
    void takeSeed(QPoint at);
    // An area left out: Shift pressed, dragged and released on the picture.
    void beginExcluding(QPoint at);
    void finishExcluding();
    void paintExcluded(QPainter& painter) const;

    void pbPaintMouseDown(QMouseEvent* event);
    void pbPaintMouseMove(QMouseEvent* event);
    void pbPaintMouseUp(QMouseEvent* event);
    void pbPaintPaint(QPainter& painter);
    int handleAt(int x, int y) const;
    void scrollToFollow(int x, int y);

    // Runs a reading over the rectangle; false (after its message) when there
    // is nothing to mark.
    bool runReading(TraceReading reading, QPoint seed = {});

    TfrmMain& main_;
    TTraceLine engine_;
    QImage loaded_;
    QImage current_;
    QImage undo_;
    TraceSelection selection_;
    Drag drag_ = Drag::Idle;
    int handle_ = 0;
    bool untransferred_ = false;
    int boundColor_ = 125;
    int interval_ = 1;
    QRgb lineColour_ = qRgb(255, 0, 0);
    bool colourMarksShown_ = false;
    std::vector<PrecisePoint> found_;
    bool waitingForSeed_ = false;
    // The last reading found no line at its seed.
    bool seedMissed_ = false;
    // Inclusive pixel bounds, inside the rectangle they were drawn in.
    std::vector<QRect> excluded_;
    // The area being dragged, corner to corner.
    QPoint excludeFrom_;
    QPoint excludeTo_;

    QScrollArea* sbImage_ = nullptr;
    QWidget* sbContent_ = nullptr;
    TPictureView* imImage_ = nullptr;
    TPaintBox* pbPaint_ = nullptr;
    TUpDown* udBoundColor_ = nullptr;
    TUpDown* udInterval_ = nullptr;
    QCheckBox* cbColourMode_ = nullptr;
    QToolButton* butPickColour_ = nullptr;
    TUpDown* udTolerance_ = nullptr;
    QCheckBox* cbPickColour_ = nullptr;
    QComboBox* cbxReading_ = nullptr;
    TUpDown* udMaxGap_ = nullptr;
    TUpDown* udMarkerSize_ = nullptr;
    QToolButton* butClearExcluded_ = nullptr;
    QLabel* lblReadingHint_ = nullptr;
};

} // namespace cvg
