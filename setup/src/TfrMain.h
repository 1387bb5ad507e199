#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace cvg::setup {

class DesktopShell;
class Installer;
class SetupDialogs;

// The installer's one window: the install panel or, started with
// "/Uninstall", the uninstall panel.
class TfrMain : public QWidget {
    Q_OBJECT
public:
    TfrMain(Installer& installer, DesktopShell& shell, SetupDialogs& dialogs, bool uninstallMode,
        QWidget* parent = nullptr);

    bool uninstallMode() const { return uninstallMode_; }

    void butSelectClick();
    void butClearClick();
    void butInstallClick();
    void butUninstallClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildInstallPanel();
    void buildUninstallPanel();

    Installer& installer_;
    SetupDialogs& dialogs_;
    bool uninstallMode_;
    bool centred_ = false;

    QFrame* pnInstall = nullptr;
    QLabel* lblInstallText = nullptr;
    QLineEdit* edtDirectory = nullptr;
    QPushButton* butSelect = nullptr;
    QPushButton* butInstall = nullptr;
    QPushButton* butClear = nullptr;
    QPushButton* butCloseInstall = nullptr;

    QFrame* pnUninstall = nullptr;
    QLabel* lblUninstallText = nullptr;
    QPushButton* butUninstall = nullptr;
    QPushButton* butCloseUninstall = nullptr;
};

} // namespace cvg::setup
