// The installer's window, offscreen, with scripted boxes.
#include "Installer.h"
#include "ProductFiles.h"
#include "QtSetupDialogs.h"
#include "SetupTestSupport.h"
#include "TfrMain.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace cvg::setup;
using namespace cvg::setup::test;

namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

class TfrMainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.valid());
        dist = home.path(QStringLiteral("dist"));
        writeDistribution(dist, home.path(QStringLiteral("arguments.txt")));
        oldCurrent = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dist));
    }
    void TearDown() override { QDir::setCurrent(oldCurrent); }

    template <typename T> static T* child(QWidget& w, const char* name)
    {
        T* c = w.findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    static void click(QWidget& w, const char* name)
    {
        auto* b = child<QPushButton>(w, name);
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    TempHome home;
    QString dist, oldCurrent;
    ScriptedSetupDialogs dialogs;
    RecordingShell shell;
};

TEST_F(TfrMainTest, InstallModeWindowAndItsButtons)
{
    Installer installer(dist, home.folders(), dialogs, shell);
    TfrMain frMain(installer, shell, dialogs, isUninstallMode({ QStringLiteral("/uninstall") }));
    frMain.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frMain));

    EXPECT_EQ(s(frMain.objectName()), "frMain");
    EXPECT_EQ(s(frMain.windowTitle()), "インストール");
    EXPECT_TRUE(frMain.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(frMain.size(), QSize(370, 185));
    ASSERT_NE(frMain.screen(), nullptr);
    const QPoint offCentre = frMain.frameGeometry().center() - frMain.screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2) << "centred on the screen";
    EXPECT_EQ(shell.opened, QStringList({ dist + QStringLiteral("/readme.txt") }))
        << "readme opened at start";

    auto* pnInstall = child<QFrame>(frMain, "pnInstall");
    auto* pnUninstall = child<QFrame>(frMain, "pnUninstall");
    ASSERT_TRUE(pnInstall && pnUninstall);
    EXPECT_TRUE(pnInstall->isVisible());
    EXPECT_FALSE(pnUninstall->isVisible());
    EXPECT_EQ(pnInstall->size(), QSize(370, 185));
    EXPECT_EQ(s(child<QLabel>(frMain, "lblInstallText")->text()),
        "プログラムをインストールします。\r\n以下のディレクトリにインストールされます。");

    auto* edt = child<QLineEdit>(frMain, "edtDirectory");
    ASSERT_NE(edt, nullptr);
    EXPECT_EQ(edt->width(), 250);
    EXPECT_EQ(s(edt->text()), s(home.path(QStringLiteral("Curvegleaner32"))));
    const struct {
        const char* name;
        const char* caption;
        QSize size;
    } buttons[] = { { "butSelect", ".....", { 20, 20 } }, { "butInstall", "開始", { 75, 25 } },
        { "butClear", "初期化", { 75, 25 } }, { "butCloseInstall", "中止", { 75, 25 } } };
    for (const auto& b : buttons) {
        auto* w = child<QPushButton>(frMain, b.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(s(w->text()), b.caption);
        EXPECT_EQ(w->size(), b.size) << b.name;
    }
    EXPECT_TRUE(child<QPushButton>(frMain, "butInstall")->isEnabled());

    // The chooser: a folder gets the product folder, a root no doubled delimiter, cancel changes nothing.
    dialogs.expectFolder(QStringLiteral("/srv/apps"));
    click(frMain, "butSelect");
    EXPECT_EQ(s(edt->text()), "/srv/apps/Curvegleaner32");
    EXPECT_EQ(s(dialogs.lastCaption), "インストール先のフォルダーを選択してください。");
    EXPECT_EQ(s(dialogs.lastRootName), "ディスクトップ");
    dialogs.expectFolder(QStringLiteral("/"));
    click(frMain, "butSelect");
    EXPECT_EQ(s(edt->text()), "/Curvegleaner32");
    dialogs.expectFolder(std::nullopt);
    click(frMain, "butSelect");
    EXPECT_EQ(s(edt->text()), "/Curvegleaner32");

    // "初期化" proposes the default again, which now is the user's program folder.
    ASSERT_TRUE(QDir().mkpath(home.path(QStringLiteral(".local/opt"))));
    click(frMain, "butClear");
    EXPECT_EQ(s(edt->text()), s(home.path(QStringLiteral(".local/opt/Curvegleaner32"))));

    // Install with the box dismissed: the window stays; answered with Yes: it closes.
    const QString target = home.path(QStringLiteral("My \"Apps\"; x/Curvegleaner32"));
    edt->setText(target);
    dialogs.expectBox(QStringLiteral("インストールは終了しました"), BoxIcon::Information, BoxResult::Closed);
    click(frMain, "butInstall");
    dialogs.verify();
    EXPECT_TRUE(frMain.isVisible());
    EXPECT_TRUE(QFileInfo(target + QStringLiteral("/cvglean")).isExecutable());
    dialogs.expectBox(QStringLiteral("インストールは終了しました"), BoxIcon::Information, BoxResult::OK);
    click(frMain, "butInstall");
    dialogs.verify();
    EXPECT_FALSE(frMain.isVisible());
}

TEST_F(TfrMainTest, MissingProgramDisablesInstallAndCancelCloses)
{
    QFile::remove(dist + QStringLiteral("/cvglean"));
    QFile::remove(dist + QStringLiteral("/readme.txt"));
    Installer installer(dist, home.folders(), dialogs, shell);
    TfrMain frMain(installer, shell, dialogs, false);
    frMain.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frMain));
    EXPECT_FALSE(child<QPushButton>(frMain, "butInstall")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(frMain, "butClear")->isEnabled());
    EXPECT_TRUE(shell.opened.isEmpty()) << "no readme, nothing opened";
    click(frMain, "butCloseInstall");
    EXPECT_FALSE(frMain.isVisible());
    EXPECT_FALSE(QFileInfo::exists(home.path(QStringLiteral("Curvegleaner32"))));
}

TEST_F(TfrMainTest, UninstallModeWindowRemovesTheInstallation)
{
    const QString target = home.path(QStringLiteral("apps/Curvegleaner32"));
    {
        Installer installer(dist, home.folders(), dialogs, shell);
        dialogs.expectBox(QStringLiteral("インストールは終了しました"), BoxIcon::Information, BoxResult::OK);
        ASSERT_TRUE(installer.install(target));
    }
    ASSERT_TRUE(QDir::setCurrent(target));
    shell.opened.clear();

    Installer installed(target, home.folders(), dialogs, shell);
    TfrMain frMain(installed, shell, dialogs, isUninstallMode({ QStringLiteral("/Uninstall") }));
    frMain.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frMain));
    EXPECT_EQ(s(frMain.windowTitle()), "アンインストール");
    EXPECT_EQ(shell.opened, QStringList({ target + QStringLiteral("/readme.txt") }));
    EXPECT_FALSE(child<QFrame>(frMain, "pnInstall")->isVisible());
    EXPECT_TRUE(child<QFrame>(frMain, "pnUninstall")->isVisible());
    EXPECT_EQ(frMain.size(), QSize(370, 185));
    EXPECT_EQ(s(child<QLabel>(frMain, "lblUninstallText")->text()),
        "インストールされている全てのファイルを削除します。\r\nディレクトリとsetup.exeは削除されません。");
    EXPECT_EQ(s(child<QPushButton>(frMain, "butUninstall")->text()), "削除");
    EXPECT_EQ(s(child<QPushButton>(frMain, "butCloseUninstall")->text()), "中止");
    EXPECT_EQ(child<QPushButton>(frMain, "butUninstall")->size(), QSize(75, 25));

    dialogs.expectBox(QStringLiteral("システムから削除しました"), BoxIcon::Information, BoxResult::OK);
    click(frMain, "butUninstall");
    dialogs.verify();
    EXPECT_FALSE(frMain.isVisible());
    EXPECT_EQ(entries(target), QStringList({ QStringLiteral("setup") }));
    EXPECT_FALSE(QFileInfo::exists(home.folders().groupFolder()));
}

} // namespace

namespace {

// The texts of a dialog that a Japanese user would find in English: labels,
// buttons, their tips, column titles and the title, when they hold letters
// but no Japanese. "OK" is Japanese too.
std::string englishTexts(QWidget* dialog)
{
    QStringList texts { dialog->windowTitle() };
    for (const QLabel* l : dialog->findChildren<QLabel*>())
        if (l->isVisible())
            texts << l->text();
    for (const QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->isVisible())
            texts << b->text() << b->toolTip();
    // The kinds of the files listed, once the dialog has read its folder.
    if (const auto* files = qobject_cast<QFileDialog*>(dialog)) {
        const auto* model = files->findChild<QFileSystemModel*>();
        const QModelIndex folder = model ? model->index(files->directory().absolutePath()) : QModelIndex();
        if (!QTest::qWaitFor([&] { return model && model->rowCount(folder) > 0; }, 5000))
            texts << QStringLiteral("(no files listed)");
        for (int r = 0; model && r < model->rowCount(folder); ++r)
            texts << model->index(r, 2, folder).data().toString();
    }
    for (const QHeaderView* h : dialog->findChildren<QHeaderView*>())
        for (int i = 0; h->model() && i < h->model()->columnCount(); ++i)
            texts << h->model()->headerData(i, Qt::Horizontal).toString();
    QStringList english;
    for (QString t : texts) {
        t.remove(QLatin1Char('&'));
        const bool japanese = std::any_of(t.begin(), t.end(), [](QChar c) { return c.unicode() >= 0x3000; });
        const bool letters = std::any_of(t.begin(), t.end(), [](QChar c) { return c.isLetter(); });
        if (letters && !japanese && t != QLatin1String("OK"))
            english << t;
    }
    return english.join(QLatin1Char('|')).toStdString();
}

// Calls `inspect` with the modal dialog once it is shown.
void whenShown(std::function<void(QWidget*)> inspect)
{
    QTimer::singleShot(10, [inspect] {
        if (QWidget* w = QApplication::activeModalWidget())
            inspect(w);
        else
            whenShown(inspect);
    });
}

// The boxes and the chooser the installer really shows: Japanese on a
// machine of any locale, an "OK" box, and no Qt settings file left in the
// user's configuration folder.
TEST(QtSetupDialogsTest, JapaneseBoxesAndChooserThatLeaveNoSettings)
{
    TempHome home;
    ASSERT_TRUE(home.valid());
    static QTemporaryDir state; // Qt's own settings, for the rest of the run
    ASSERT_TRUE(state.isValid());
    prepareToolkitDialogs(*QCoreApplication::instance(), state.path());
    // A folder on the desktop, where the chooser starts, for it to list.
    ASSERT_TRUE(QDir().mkpath(home.path(QStringLiteral("Desktop/graphs"))));
    QtSetupDialogs dialogs;

    QStringList buttons;
    whenShown([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        for (const QAbstractButton* b : box->buttons())
            buttons << b->text();
        EXPECT_EQ(englishTexts(box), "");
        box->buttons().constFirst()->click();
    });
    EXPECT_EQ(dialogs.message({ kInstallDone, BoxIcon::Information, kAppTitle }), BoxResult::OK);
    EXPECT_EQ(buttons, QStringList({ QStringLiteral("OK") }));

    QString title;
    whenShown([&](QWidget* w) {
        auto* chooser = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(chooser, nullptr);
        EXPECT_TRUE(chooser->testOption(QFileDialog::DontUseNativeDialog));
        title = chooser->windowTitle();
        EXPECT_EQ(englishTexts(chooser), "");
        chooser->reject();
    });
    EXPECT_EQ(dialogs.chooseFolder(kChooseFolderCaption, kChooserRootName), std::nullopt);
    EXPECT_EQ(s(title), s(kChooseFolderCaption));

    // Qt wrote what its chooser remembers, but not into the user's folders.
    EXPECT_TRUE(QFileInfo::exists(state.path() + QStringLiteral("/QtProject.conf")));
    EXPECT_EQ(entries(home.path(QString())), QStringList({ QStringLiteral("Desktop") }));
}

} // namespace
