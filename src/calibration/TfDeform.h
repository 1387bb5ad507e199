#pragma once

#include "calibration/Calibration.h"
#include "widgets/TToolWindow.h"

#include <QLabel>
#include <QMouseEvent>
#include <array>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPainter;
class QKeyEvent;
class QPushButton;
class QSpinBox;

namespace cvg {

class TfrmMain;

// A reference marker over the picture: a red cross whose centre pixel covers
// its point, draggable while the calibration is not accepted.
class TMarkImage final : public QLabel {
    Q_OBJECT
public:
    TMarkImage(QWidget* parent, int index);
    int index() const { return index_; }
    int32_t pointX = 0;
    int32_t pointY = 0; // upward

Q_SIGNALS:
    void pressed(TMarkImage* marker, QMouseEvent* event);
    void moved(TMarkImage* marker, QMouseEvent* event);
    void released(TMarkImage* marker, QMouseEvent* event);

protected:
    void mousePressEvent(QMouseEvent* event) override { Q_EMIT pressed(this, event); }
    void mouseMoveEvent(QMouseEvent* event) override { Q_EMIT moved(this, event); }
    void mouseReleaseEvent(QMouseEvent* event) override { Q_EMIT released(this, event); }

private:
    int index_;
};

// The "DEFORM" picture: 21 x 21, a red cross with 3-pixel arms and a white
// 3 x 3 centre; white is transparent.
QPixmap deformMarkerPicture();

// The calibration dialog and the calibration mode of the main window: the
// uncorrected picture with four reference markers, the rectangle selection,
// and the execution of the correction.
class TfDeform final : public TToolWindow {
    Q_OBJECT
public:
    TfDeform(TfrmMain& main, AppContext& context);

    // Main window action "歪修正と換算値計算".
    // Runs a step of the dialog through the main window's command wrapper; a
    // step that changed what the document file keeps of the calibration
    // marks the document modified.
    void runEdit(const std::function<void()>& step);
    // Undo or redo may have changed the calibration: the dialog, the markers
    // and the guide lines of the calibration mode show it as it is now.
    void calibrationRestored();
    void acDeformationDataExecute();
    void ResetCalibration();
    void HideMarkers();
    void ShowSharedMarkers();
    void ShowSeparateMarkers();
    void PlaceMarker(int index, int32_t x, int32_t y, bool visible, const QString& caption);
    void MoveMarker(int index, int32_t x, int32_t y);
    void ScreenPointsFromSource();

    // pbPaint's mouse and painting.
    void pbPaintMouseDown(QMouseEvent* event);
    void pbPaintMouseMove(QMouseEvent* event);
    void pbPaintMouseUp(QMouseEvent* event);
    void paintGuideLines(QPainter& painter);
    // The arrow keys move the marker pressed last by one pixel.
    void pbPaintKeyDown(QKeyEvent* event);
    // The markers go back onto their pixels after the zoom changed.
    void replaceMarkers();

    void butAcceptClick();
    void butRejectClick();

    // Controls, for the windows that follow and for tests.
    TMarkImage* marker(int index) const { return markers_[size_t(index)]; }
    QSpinBox* udX(int index) const { return udX_[size_t(index)]; }
    QSpinBox* udY(int index) const { return udY_[size_t(index)]; }
    QLineEdit* edtValue(int index) const { return edtValue_[size_t(index)]; }
    QCheckBox* cbJoint() const { return cbJoint_; }
    QCheckBox* cbXLog() const { return cbXLog_; }
    QCheckBox* cbYLog() const { return cbYLog_; }
    QPushButton* butAccept() const { return butAccept_; }

    // Called by the main window when the value field n got a key release.
    void edtValueKeyUp(int index);

protected:
    bool closeQuery() override;
    void onClosed() override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Calibration& cal();
    int pictureHeight() const;
    void setUpDownsFromSource();
    void setValueFieldsFromSource();
    void setInputsEnabled(bool on);
    void setJointSilently(bool on);
    void setLogSilently(QCheckBox* box, bool on);
    void PointsFromSelection();
    void ScreenPointsFromSelection();
    void udClick(int index, bool isX);
    void cbLogClick(bool isY);
    void cbJointClick(bool checked);
    void markerPressed(TMarkImage* marker, QMouseEvent* event);
    void markerMoved(TMarkImage* marker, QMouseEvent* event);
    // Marker i covers the picture pixel (x, upward y): the calibration, the
    // up-downs and the shared corner follow, as a drag moves them.
    void setMarkerPixel(size_t i, int x, int y);
    void centreScope(int x, int row);
    void showUncorrectedForCalibration();
    void showMarkersFromSource();

    TfrmMain& main_;
    std::array<TMarkImage*, 4> markers_{};
    std::array<QSpinBox*, 4> udX_{};
    std::array<QSpinBox*, 4> udY_{};
    std::array<QLineEdit*, 4> edtValue_{};
    QCheckBox* cbYLog_ = nullptr;
    QCheckBox* cbXLog_ = nullptr;
    QCheckBox* cbJoint_ = nullptr;
    QPushButton* butAccept_ = nullptr;
    bool jointSuppress_ = false;
    bool programmatic_ = false;

    bool selecting_ = false;
    QPoint selectionStart_;
    QPoint selectionEnd_;
    bool dragging_ = false;
    QPoint grabPoint_;
    int selectedMarker_ = -1;
};

} // namespace cvg
