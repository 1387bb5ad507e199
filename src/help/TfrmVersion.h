#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace cvg {

struct AppContext;

// The version window: the program's name and version, and two links (the
// maker's web page and mail address) that go to the desktop when clicked.
class TfrmVersion final : public QDialog {
    Q_OBJECT
public:
    TfrmVersion(QWidget* parent, AppContext& context);

    // Sets the version text, centres the window on the screen and shows it
    // modally.
    int ShowModal();
    // What ShowModal does before the window is shown.
    void prepareShowing();

    QLabel* lblVersion() const { return lblVersion_; }
    QLabel* lblAddress(int tag) const;
    QPushButton* buClose() const { return buClose_; }

    static QString versionText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void lblAddressClick(QLabel* label);
    static void setLinkColour(QLabel* label, Qt::GlobalColor colour);

    AppContext& context_;
    QLabel* lblVersion_ = nullptr;
    QPushButton* buClose_ = nullptr;
};

} // namespace cvg
