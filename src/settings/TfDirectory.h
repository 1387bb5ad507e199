#pragma once

#include "settings/SettingsRecords.h"
#include "widgets/TToolWindow.h"

class QLineEdit;

namespace cvg {

// The data directory dialog: shows and chooses the folder the open dialog
// starts in.
class TfDirectory final : public TToolWindow {
    Q_OBJECT
public:
    TfDirectory(QWidget* parent, AppContext& context);

    // The directory in force (the open dialog's initial folder).
    const QString& DataDirectory() const { return dataDirectory_; }
    const QString& startupDirectory() const { return startupDirectory_; }
    QLineEdit* edtDirectory() const { return edtDirectory_; }

    void butChangeClick();
    void butCancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void onClosed() override;

private:
    DirectorySettings record_;
    QString dataDirectory_;
    QString startupDirectory_;
    QLineEdit* edtDirectory_ = nullptr;
};

} // namespace cvg
