#pragma once

#include "widgets/TToolWindow.h"

class QLineEdit;

namespace cvg {

class TfrmMain;
class TUpDown;

// The interpolation settings window: the spacing in pixels between the kept
// results of an interpolation (sampleDistance), stored in "Spline" with the
// window's place.
class TfrmSpline final : public TToolWindow {
    Q_OBJECT
public:
    TfrmSpline(TfrmMain& main, AppContext& context);

    int sampleDistance() const { return sampleDistance_; }
    TUpDown* udDistance() const { return udDistance_; }
    QLineEdit* edtDistance() const;

    // Shows the window (modeless) and checks the action.
    void SplineConfigulationExecute();

protected:
    void showEvent(QShowEvent* event) override;
    void onClosed() override;

private:
    TfrmMain& main_;
    TUpDown* udDistance_ = nullptr;
    int sampleDistance_ = 1;
};

} // namespace cvg
