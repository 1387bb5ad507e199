// Qt's own dialogs as the program opens them: Japanese on a machine of any
// locale, and what they remember kept with the program's settings.
#include "platform/QtDialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace cvg;

namespace {

// The texts of a dialog that a Japanese user would find in English: labels,
// buttons, their tips, column titles and the title, when they hold letters
// but no Japanese. "OK", the program's name and the name of the HTML colour
// notation are Japanese too.
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
        if (letters && !japanese && t != QLatin1String("OK") && t != QLatin1String("HTML:") && t != kAppTitle)
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

TEST(StandardDialogsTest, JapaneseDialogsThatKeepTheirStateWithTheProgramsSettings)
{
    // A fresh configuration folder for the whole run: Qt reads where it is once.
    static QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString config = home.path() + QStringLiteral("/config");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    const QString settingsFolder = config + QStringLiteral("/Velmoran");
    // A folder and a picture for the file dialogs to list.
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("pictures")));
    QFile picture(home.path() + QStringLiteral("/graph.png"));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write(QByteArray::fromHex("89504e470d0a1a0a"));
    picture.close();
    prepareToolkitDialogs(*QCoreApplication::instance(), settingsFolder);
    QtDialogs dialogs;

    FileDialogRequest file;
    file.filter = QStringLiteral("PNGファイル(*.png)|*.png");
    file.initialDir = home.path();
    const struct {
        const char* what;
        const char* dialogClass;
        std::function<void()> open;
    } cases[] = {
        { "open", "QFileDialog", [&] { EXPECT_FALSE(dialogs.openFile(file).accepted); } },
        { "save", "QFileDialog", [&] { EXPECT_FALSE(dialogs.saveFile(file).accepted); } },
        { "folder", "QFileDialog",
            [&] { EXPECT_EQ(dialogs.chooseFolder(QStringLiteral("フォルダーの選択")), std::nullopt); } },
        { "colour", "QColorDialog", [&] { EXPECT_EQ(dialogs.chooseColor(Qt::red), std::nullopt); } },
        { "rename", "QInputDialog",
            [&] {
                EXPECT_EQ(dialogs.inputText(QStringLiteral("ワークシート名変更"), QStringLiteral("名前"),
                              QStringLiteral("Page1")),
                    std::nullopt);
            } },
        { "question", "QMessageBox",
            [&] {
                dialogs.message(
                    { QStringLiteral("保存しますか？"), MsgIcon::None, MsgButtons::YesNoCancel, kAppTitle });
            } },
        { "warning", "QMessageBox",
            [&] { dialogs.warning(QStringLiteral("画像が読み込まれていません。")); } },
    };
    for (const auto& c : cases) {
        QString shown;
        whenShown([&](QWidget* w) {
            shown = QString::fromLatin1(w->metaObject()->className());
            if (auto* f = qobject_cast<QFileDialog*>(w)) {
                EXPECT_TRUE(f->testOption(QFileDialog::DontUseNativeDialog)) << c.what;
            }
            if (auto* f = qobject_cast<QColorDialog*>(w)) {
                EXPECT_TRUE(f->testOption(QColorDialog::DontUseNativeDialog)) << c.what;
            }
            EXPECT_EQ(englishTexts(w), "") << c.what;
            static_cast<QDialog*>(w)->reject();
        });
        c.open();
        EXPECT_EQ(shown, QLatin1String(c.dialogClass)) << c.what;
    }

    // What the file dialogs remember lies with the program's settings, which
    // the uninstaller removes; nothing lands beside other programs' settings.
    EXPECT_TRUE(QFileInfo::exists(settingsFolder + QStringLiteral("/QtProject.conf")));
    EXPECT_EQ(QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList { QStringLiteral("Velmoran") });
}

} // namespace
