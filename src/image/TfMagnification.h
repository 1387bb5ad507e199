#pragma once

#include "widgets/TToolWindow.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace cvg {

class TfrmMain;
class TUpDown;

// The magnification dialog: enlarges or shrinks the picture before the axes
// are calibrated, by fixed factors per axis or to a free size, previews the
// result and asks whether to adopt it; one adopted resize can be undone.
class TfMagnification final : public TToolWindow {
    Q_OBJECT
public:
    TfMagnification(TfrmMain& main, AppContext& context);

    // Main window action "拡大・縮小".
    void acImageMagnificationExecute();

    void cbHorizontalChange();
    void cbVerticalChange();
    void edtWidthTyped();
    void edtHeightTyped();
    void udWidthClick();
    void udHeightClick();
    void butAcceptClick();
    void butRejectClick();
    // Both factor lists at "等倍", the fields at the picture's size, the ratio kept.
    void ResetDialog();

    QComboBox* cbHorizontal() const { return cbHorizontal_; }
    QComboBox* cbVertical() const { return cbVertical_; }
    QLineEdit* edtWidth() const { return edtWidth_; }
    QLineEdit* edtHeight() const { return edtHeight_; }
    QSpinBox* udWidth() const;
    QSpinBox* udHeight() const;
    QCheckBox* cbRatio() const { return cbRatio_; }

protected:
    void onClosed() override;

private:
    QSize workingSize() const;
    void setFields(QSize size);
    // The keep-ratio rule after one field was typed or stepped.
    void followRatio(bool fromWidth);
    // The up-down follows its field's number, as its arrows step from there.
    void syncUpDown(TUpDown* upDown, const QLineEdit* field);
    void upDownStepped(bool width);

    TfrmMain& main_;
    QComboBox* cbHorizontal_ = nullptr;
    QComboBox* cbVertical_ = nullptr;
    QLineEdit* edtWidth_ = nullptr;
    QLineEdit* edtHeight_ = nullptr;
    TUpDown* udWidth_ = nullptr;
    TUpDown* udHeight_ = nullptr;
    QCheckBox* cbRatio_ = nullptr;
    bool programmatic_ = false;
};

} // namespace cvg
