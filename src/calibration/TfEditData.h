#pragma once

#include "widgets/TToolWindow.h"
#include "worksheet/Point.h"

class QLineEdit;
class QMouseEvent;
class QPainter;
class QKeyEvent;
class QPushButton;
class QSpinBox;

namespace cvg {

class TfrmMain;

// The current-point marker and the mouse on the corrected picture: the
// digitize mode ("座標指定") and the point-edit mode ("数値編集").
class TDigitizer final : public QObject {
    Q_OBJECT
public:
    explicit TDigitizer(TfrmMain& main);

    void DoDataCovertExecute();
    void EditDataExecute();
    void acDeleteMarkerExecute();

    void pbGraphMouseDown(QMouseEvent* event);
    void pbGraphMouseMove(QMouseEvent* event);
    void pbGraphMouseUp(QMouseEvent* event);
    void pbGraphOnPaint(QPainter& painter);
    // The arrow keys move the current point by one pixel in the point-edit mode.
    void pbGraphKeyDown(QKeyEvent* event);

    // Places the current-point marker and asks for it to be painted once.
    void showMarkerAt(int x, int row);
    QPoint markerPosition() const { return marker_; }
    // The shown picture again: corrected with a square at every point, no lines.
    void rebuildWithSquares();

    int generalSize = 3;
    int currentSize = 3;

private:
    bool warnUnlessReady(bool forEdit);
    // Whether the colour shown at a picture pixel is the marker's pure red.
    bool redShownAt(int x, int row) const;
    TfrmMain& main_;
    QPoint marker_{-10, -10};
    bool paintRequest_ = false;
    bool dragging_ = false;
    bool moved_ = false;
    bool markerShown_ = false;
    bool popupPending_ = false;
};

// The point editor: X and upward Y of the current row, previous and next,
// and delete.
class TfEditData final : public TToolWindow {
    Q_OBJECT
public:
    TfEditData(TfrmMain& main, AppContext& context, TDigitizer& digitizer);

    QLineEdit* edtX() const { return edtX_; }
    QLineEdit* edtY() const { return edtY_; }
    QSpinBox* udX() const { return udX_; }
    QSpinBox* udY() const { return udY_; }
    QPushButton* butDelete() const { return butDelete_; }
    QPushButton* butPrevious() const { return butPrevious_; }
    QPushButton* butNext() const { return butNext_; }

    // The fields show a row's cells (empty texts for a row without a point).
    void showRow(int row);
    // The fields and the arrows show a point (the arrows step from it).
    void showPoint(const Point& point);
    void clearFields();
    void butOnClick(int tag);
    void butDeleteClick();

protected:
    void showEvent(QShowEvent* event) override;
    void onClosed() override;

private:
    void udClick(bool isX);
    // The arrows take the number typed in their field (an up-down steps from
    // its field's text).
    void followField(bool isX);
    // Enter in a field writes its number into the current point.
    void edtReturn(bool isX);
    void writeCell(bool isX, int value);
    void edtChange();
    void placeMarkerFromUpDowns();

    TfrmMain& main_;
    TDigitizer& digitizer_;
    QLineEdit* edtX_ = nullptr;
    QLineEdit* edtY_ = nullptr;
    QSpinBox* udX_ = nullptr;
    QSpinBox* udY_ = nullptr;
    QPushButton* butDelete_ = nullptr;
    QPushButton* butPrevious_ = nullptr;
    QPushButton* butNext_ = nullptr;
    bool programmatic_ = false;
};

// The two marker sizes (1 to 5), stored as "Mark".
class TfMarker final : public TToolWindow {
    Q_OBJECT
public:
    TfMarker(TfrmMain& main, AppContext& context, TDigitizer& digitizer);
    QSpinBox* udGeneral() const { return udGeneral_; }
    QSpinBox* udCurrent() const { return udCurrent_; }
    void MakerSizeConfigularionExecute();

protected:
    void showEvent(QShowEvent* event) override;
    void onClosed() override;

private:
    TfrmMain& main_;
    TDigitizer& digitizer_;
    QSpinBox* udGeneral_ = nullptr;
    QSpinBox* udCurrent_ = nullptr;
};

} // namespace cvg
