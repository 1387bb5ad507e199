#include "TfrMain.h"

#include "DesktopShell.h"
#include "Installer.h"
#include "ProductFiles.h"
#include "SetupDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace cvg::setup {

namespace {

constexpr int kPanelWidth = 370;
constexpr int kPanelHeight = 185;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonTop = 140;

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int left)
{
    auto* b = named(new QPushButton(caption, parent), name);
    b->setGeometry(left, kButtonTop, kButtonWidth, kButtonHeight);
    return b;
}

QLabel* textLabel(QWidget* parent, const char* name)
{
    auto* l = named(new QLabel(parent), name);
    l->move(16, 16);
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

TfrMain::TfrMain(
    Installer& installer, DesktopShell& shell, SetupDialogs& dialogs, bool uninstallMode, QWidget* parent)
    : QWidget(parent)
    , installer_(installer)
    , dialogs_(dialogs)
    , uninstallMode_(uninstallMode)
{
    setObjectName(QStringLiteral("frMain"));
    setWindowTitle(kAppTitle);
    setWindowFlag(Qt::WindowStaysOnTopHint);

    // The readme beside the installer, taken from the current folder as the
    // menu entry and the distribution folder both start there.
    const QString readme = QDir::current().absoluteFilePath(QStringLiteral("readme.txt"));
    if (QFileInfo(readme).isFile())
        shell.openDocument(readme);

    buildInstallPanel();
    buildUninstallPanel();
    edtDirectory->setText(installer_.defaultTarget());
    butInstall->setEnabled(installer_.programPresent());

    if (uninstallMode_) {
        pnInstall->hide();
        setWindowTitle(kUninstallCaption);
    } else {
        pnUninstall->hide();
    }
    lblInstallText->setText(kInstallText);
    lblInstallText->adjustSize();
    lblUninstallText->setText(kUninstallText);
    lblUninstallText->adjustSize();
    setFixedSize(kPanelWidth, kPanelHeight);
}

void TfrMain::buildInstallPanel()
{
    pnInstall = named(new QFrame(this), "pnInstall");
    pnInstall->setGeometry(0, 0, kPanelWidth, kPanelHeight);
    lblInstallText = textLabel(pnInstall, "lblInstallText");

    edtDirectory = named(new QLineEdit(pnInstall), "edtDirectory");
    edtDirectory->setGeometry(40, 84, 250, 24);
    butSelect = named(new QPushButton(QStringLiteral("....."), pnInstall), "butSelect");
    butSelect->setGeometry(294, 86, 20, 20);

    butInstall = button(pnInstall, "butInstall", QStringLiteral("開始"), 40);
    butClear = button(pnInstall, "butClear", QStringLiteral("初期化"), 147);
    butCloseInstall = button(pnInstall, "butCloseInstall", QStringLiteral("中止"), 254);

    connect(butSelect, &QPushButton::clicked, this, &TfrMain::butSelectClick);
    connect(butClear, &QPushButton::clicked, this, &TfrMain::butClearClick);
    connect(butInstall, &QPushButton::clicked, this, &TfrMain::butInstallClick);
    connect(butCloseInstall, &QPushButton::clicked, this, &QWidget::close);
}

void TfrMain::buildUninstallPanel()
{
    pnUninstall = named(new QFrame(this), "pnUninstall");
    pnUninstall->setGeometry(0, 0, kPanelWidth, kPanelHeight);
    lblUninstallText = textLabel(pnUninstall, "lblUninstallText");

    butUninstall = button(pnUninstall, "butUninstall", QStringLiteral("削除"), 80);
    butCloseUninstall = button(pnUninstall, "butCloseUninstall", QStringLiteral("中止"), 215);

    connect(butUninstall, &QPushButton::clicked, this, &TfrMain::butUninstallClick);
    connect(butCloseUninstall, &QPushButton::clicked, this, &QWidget::close);
}

void TfrMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (centred_)
        return;
    centred_ = true;
    if (const QScreen* s = screen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

void TfrMain::butSelectClick()
{
    const std::optional<QString> folder = dialogs_.chooseFolder(kChooseFolderCaption, kChooserRootName);
    if (folder && !folder->isEmpty())
        edtDirectory->setText(appendProductFolder(*folder));
}

void TfrMain::butClearClick()
{
    edtDirectory->setText(installer_.defaultTarget());
}

void TfrMain::butInstallClick()
{
    if (installer_.install(edtDirectory->text()))
        close();
}

void TfrMain::butUninstallClick()
{
    if (installer_.uninstall())
        close();
}

} // namespace cvg::setup
