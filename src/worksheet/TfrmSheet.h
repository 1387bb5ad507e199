#pragma once

#include "widgets/TToolWindow.h"

class QCheckBox;
class QComboBox;

namespace cvg {

class TfrmMain;
class TUpDown;

// The worksheet settings dialog: where the worksheet tabs stand, whether
// they wrap, their height and the grids' row height. Every change takes
// effect at once on the main window's worksheet panel; the values live in
// the main window's settings record.
class TfrmSheet final : public TToolWindow {
    Q_OBJECT
public:
    TfrmSheet(TfrmMain& main, AppContext& context);

    // The settings menu's command: checks its action and shows the dialog
    // modally; closing unchecks it.
    void SheetConfigulationExecute();

    void cbTabPositionChange(int index);
    void cbMultiLineClick(bool checked);
    void udTabHeightClick(int position);
    void udDefaultRowHeightClick(int position);
    void butHelpClick();

    QComboBox* cbTabPosition() const { return cbTabPosition_; }
    QCheckBox* cbMultiLine() const { return cbMultiLine_; }
    TUpDown* udTabHeight() const { return udTabHeight_; }
    TUpDown* udDefaultRowHeight() const { return udDefaultRowHeight_; }

protected:
    void showEvent(QShowEvent* event) override;
    void onClosed() override;

private:
    TfrmMain& main_;
    QComboBox* cbTabPosition_ = nullptr;
    QCheckBox* cbMultiLine_ = nullptr;
    TUpDown* udTabHeight_ = nullptr;
    TUpDown* udDefaultRowHeight_ = nullptr;
};

} // namespace cvg
