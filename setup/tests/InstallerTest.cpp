// The install and uninstall flows against a temporary home folder.
#include "Installer.h"
#include "DesktopFiles.h"
#include "ProductFiles.h"
#include "SetupTestSupport.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QThread>
#include <QXmlStreamReader>

#include <cerrno>
#include <cstring>

using namespace cvg::setup;
using namespace cvg::setup::test;

namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

const QStringList kTitles = {
    QStringLiteral("Curvegleanerプログラム"),
    QStringLiteral("ヘルプファイル"),
    QStringLiteral("最初にお読みください"),
    QStringLiteral("問題報告リスト"),
    QStringLiteral("よくある質問"),
    QStringLiteral("ご案内"),
    QStringLiteral("サンプルデータ"),
};
const QStringList kFiles = {
    QStringLiteral("cvghelp.chm"),
    QStringLiteral("cvglean"),
    QStringLiteral("faq.txt"),
    QStringLiteral("infomation.txt"),
    QStringLiteral("problems.txt"),
    QStringLiteral("readme.txt"),
    QStringLiteral("sample.cvd"),
    QStringLiteral("setup"),
};

// Everything below `folder` except the `left` subtrees, one line each: folders
// end in "/", files show a digest of their bytes.
std::string tree(const QString& top, const QStringList& left = {})
{
    const QString folder = QDir::cleanPath(top);
    QStringList lines;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(folder.size() + 1);
        const auto inside = [&](const QString& l) { return relative == l || relative.startsWith(l + '/'); };
        if (std::any_of(left.begin(), left.end(), inside))
            continue;
        if (it.fileInfo().isDir())
            lines << relative + QLatin1Char('/');
        else
            lines << relative + QLatin1Char(' ')
                    + QString::fromLatin1(
                        QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Md5).toHex());
    }
    lines.sort();
    return lines.join(QLatin1Char('\n')).toStdString();
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.valid());
        dist = home.path(QStringLiteral("dist"));
        argumentsFile = home.path(QStringLiteral("arguments.txt"));
        writeDistribution(dist, argumentsFile);
    }
    void expectDone(BoxResult answer = BoxResult::OK)
    {
        dialogs.expectBox(
            QStringLiteral("インストールは終了しました"), BoxIcon::Information, answer);
    }
    QString shortcut(const QString& title) const { return home.folders().shortcutFile(title); }
    QString data(const QString& relative) const
    {
        return home.path(QStringLiteral(".local/share/") + relative);
    }
    QString config(const QString& relative) const { return home.path(QStringLiteral(".config/") + relative); }

    TempHome home;
    QString dist, argumentsFile;
    ScriptedSetupDialogs dialogs;
    RecordingShell shell;
};

// Folder names a desktop must not mistake for anything but a name.
const QString kOddFolder = QStringLiteral("My Apps \"x\" it's $HOME; touch pwned `id`");

TEST_F(InstallerTest, InstallWritesFilesShortcutsAssociationAndRecord)
{
    const QString target = home.path(kOddFolder + QStringLiteral("/Curvegleaner32"));
    Installer installer(dist, home.folders(), dialogs, shell);
    ASSERT_TRUE(installer.programPresent());
    expectDone();
    EXPECT_TRUE(installer.install(target));
    dialogs.verify();
    EXPECT_EQ(shell.changes, 1);

    EXPECT_EQ(entries(target), kFiles);
    for (const QString& name : kFiles)
        EXPECT_EQ(fileBytes(target + QLatin1Char('/') + name), fileBytes(dist + QLatin1Char('/') + name))
            << s(name);
    EXPECT_TRUE(QFileInfo(target + QStringLiteral("/cvglean")).isExecutable());
    EXPECT_TRUE(QFileInfo(target + QStringLiteral("/setup")).isExecutable());

    // One desktop entry per title in the group folder, nothing else there.
    QStringList expected;
    for (const QString& t : kTitles)
        expected << t + QStringLiteral(".desktop");
    expected.sort();
    EXPECT_EQ(entries(home.folders().groupFolder()), expected);

    // In the desktop file, the folder's quote, dollar and backquote are escaped
    // for the command line, then each backslash once more for the file.
    const QString escaped = home.path(QStringLiteral(R"(My Apps \\"x\\" it's \\$HOME; touch pwned \\`id\\`)"))
        + QStringLiteral("/Curvegleaner32");
    const QString working = target + QStringLiteral("/");
    EXPECT_EQ(s(QString::fromUtf8(fileBytes(shortcut(QStringLiteral("Curvegleanerプログラム"))))),
        s(QStringLiteral("[Desktop Entry]\nType=Application\nName=Curvegleanerプログラム\nIcon=curvegleaner32\n"
                         "Exec=\"%1/cvglean\"\nPath=%2\nCategories=X-Curvegleaner32;\nTerminal=false\n")
                .arg(escaped, working)));
    EXPECT_EQ(s(QString::fromUtf8(fileBytes(shortcut(QStringLiteral("サンプルデータ"))))),
        s(QStringLiteral("[Desktop Entry]\nType=Application\nName=サンプルデータ\nIcon=curvegleaner32\n"
                         "Exec=\"xdg-open\" \"%1/sample.cvd\"\nPath=%2\nCategories=X-Curvegleaner32;\n"
                         "Terminal=false\n")
                .arg(escaped, working)));
    EXPECT_EQ(s(QString::fromUtf8(fileBytes(data(QStringLiteral("applications/Curvegleaner32.desktop"))))),
        s(QStringLiteral("[Desktop Entry]\nType=Application\nName=Curvegleaner32\n"
                         "Comment=関連づけファイル\nIcon=curvegleaner32\nExec=\"%1/cvglean\" %f\n"
                         "MimeType=application/x-curvegleaner32;\nNoDisplay=true\nTerminal=false\n")
                .arg(escaped)));
    EXPECT_EQ(s(QString::fromUtf8(
                  fileBytes(data(QStringLiteral("applications/Curvegleaner32-uninstall.desktop"))))),
        s(QStringLiteral("[Desktop Entry]\nType=Application\nName=Curvegleaner32の削除\nIcon=curvegleaner32\n"
                         "Exec=\"%1/setup\" \"/Uninstall\"\nPath=%2\nCategories=Settings;\n"
                         "Terminal=false\n")
                .arg(escaped, working)));
    EXPECT_EQ(fileBytes(data(QStringLiteral("mime/packages/Curvegleaner32.xml"))),
        mimePackageText(QStringLiteral("関連づけファイル")).toUtf8());
    EXPECT_EQ(fileBytes(config(QStringLiteral("mimeapps.list"))),
        QByteArray("[Default Applications]\napplication/x-curvegleaner32=Curvegleaner32.desktop;\n"));
    const QByteArray menu = fileBytes(config(QStringLiteral("menus/applications-merged/Curvegleaner32.menu")));
    EXPECT_EQ(menu, groupMenuText().toUtf8());
    // Well-formed, and the group menu sits inside the applications menu.
    QXmlStreamReader reader(menu);
    QStringList names;
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("Name"))
            names << reader.readElementText();
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    ASSERT_EQ(names.size(), 2);
    EXPECT_EQ(names[0], QStringLiteral("Applications"));
    EXPECT_EQ(names[1], QStringLiteral("Curvegleaner32 for Windows"));
    EXPECT_EQ(fileBytes(data(QStringLiteral("desktop-directories/Curvegleaner32.directory"))),
        groupDirectoryText().toUtf8());

    // The record holds the keys, values and texts of the registry entries.
    const QString raw = home.path(kOddFolder).replace(QLatin1Char('"'), QStringLiteral("\\\""))
        + QStringLiteral("/Curvegleaner32");
    EXPECT_EQ(s(QString::fromUtf8(fileBytes(data(QStringLiteral("Curvegleaner32/registration.txt"))))),
        s(QStringLiteral("[classes root\\.cvd]\n"
                         "@=\"Curvegleaner32\"\n"
                         "[classes root\\Curvegleaner32]\n"
                         "@=\"関連づけファイル\"\n"
                         "[classes root\\Curvegleaner32\\DefaultIcon]\n"
                         "@=\"%1/cvglean,0\"\n"
                         "[classes root\\Curvegleaner32\\shell\\open\\command]\n"
                         "@=\"\\\"%1/cvglean\\\" \\\"%2\\\"\"\n"
                         "[local machine\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                         "Curvegleaner32]\n"
                         "\"DisplayName\"=\"Curvegleaner32の削除\"\n"
                         "\"UninstallString\"=\"%1/setup /Uninstall\"\n")
                .arg(raw, QStringLiteral("%1"))));

    // The desktop's own validator accepts every entry.
    const QStringList written = { shortcut(kTitles[0]), shortcut(kTitles[1]), shortcut(kTitles[6]),
        home.folders().handlerEntry(), home.folders().uninstallEntry() };
    for (const QString& entry : written) {
        const RunResult v = runTool(QStringLiteral("desktop-file-validate"), { entry }, home.path(QString()));
        if (!v.started)
            break;
        // Hints (an own category only) are fine; errors and warnings are not.
        EXPECT_EQ(v.exitCode, 0) << s(entry) << "\n" << s(v.output);
        EXPECT_FALSE(
            v.output.contains(QStringLiteral("error:")) || v.output.contains(QStringLiteral("warning:")))
            << s(v.output);
    }
}

// The desktop itself, through its own tools: a ".cvd" file is of our type,
// our entry is its default, and launching it hands over the document's path
// as the one argument, whatever the folder and the document are called.
TEST_F(InstallerTest, DesktopOpensDocumentsWithTheInstalledProgram)
{
    const QString target = home.path(kOddFolder + QStringLiteral("/Curvegleaner32"));
    Installer installer(dist, home.folders(), dialogs, shell);
    expectDone();
    ASSERT_TRUE(installer.install(target));

    const QString document = home.path(QStringLiteral("graph \"1\"; it's $x `y`.cvd"));
    writeBytes(document,
        "\x03"
        "CVD");
    const QString work = home.path(QString());

    const RunResult type = runTool(QStringLiteral("gio"),
        { QStringLiteral("info"), QStringLiteral("-a"), QStringLiteral("standard::content-type"), document },
        work);
    if (!type.started)
        GTEST_SKIP() << "gio is not installed; the desktop's view of the association is not checked";
    EXPECT_TRUE(type.output.contains(QStringLiteral("standard::content-type: application/x-curvegleaner32")))
        << s(type.output);

    // The document shows the program's icon.
    const RunResult icon = runTool(QStringLiteral("gio"),
        { QStringLiteral("info"), QStringLiteral("-a"), QStringLiteral("standard::icon"), document }, work);
    EXPECT_TRUE(icon.output.contains(QStringLiteral("standard::icon: curvegleaner32"))) << s(icon.output);

    const RunResult mime = runTool(QStringLiteral("gio"), { QStringLiteral("mime"), kMimeType }, work);
    EXPECT_TRUE(mime.output.contains(QStringLiteral("Curvegleaner32.desktop"))) << s(mime.output);

    const RunResult launch = runTool(
        QStringLiteral("gio"), { QStringLiteral("launch"), home.folders().handlerEntry(), document }, work);
    EXPECT_EQ(launch.exitCode, 0) << s(launch.output);
    // The launched program runs on its own; wait for what it writes.
    for (int i = 0; i < 100 && !QFileInfo(argumentsFile).size(); ++i)
        QThread::msleep(50);
    EXPECT_EQ(s(QString::fromUtf8(fileBytes(argumentsFile))), s(document + QLatin1Char('\n')));
    EXPECT_FALSE(QFileInfo::exists(home.path(QStringLiteral("pwned"))));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/pwned")));
}

TEST_F(InstallerTest, SecondInstallReplacesWithoutAsking)
{
    const QString first = home.path(QStringLiteral("first/Curvegleaner32"));
    const QString second = home.path(QStringLiteral("second/Curvegleaner32"));
    Installer installer(dist, home.folders(), dialogs, shell);
    writeBytes(config(QStringLiteral("mimeapps.list")), "[Default Applications]\ntext/html=b.desktop\n");

    expectDone();
    ASSERT_TRUE(installer.install(first));
    const QByteArray firstShortcut = fileBytes(shortcut(kTitles[1]));
    const QByteArray firstRecord = fileBytes(data(QStringLiteral("Curvegleaner32/registration.txt")));

    // Installed files and shortcuts changed since are put back; dismissing the box keeps the window.
    writeBytes(first + QStringLiteral("/readme.txt"), "edited");
    writeBytes(first + QStringLiteral("/cvglean"), "broken");
    writeBytes(shortcut(kTitles[1]), "broken");
    expectDone(BoxResult::Closed);
    EXPECT_FALSE(installer.install(first));
    dialogs.verify();
    EXPECT_EQ(
        fileBytes(first + QStringLiteral("/readme.txt")), fileBytes(dist + QStringLiteral("/readme.txt")));
    EXPECT_EQ(fileBytes(first + QStringLiteral("/cvglean")), fileBytes(dist + QStringLiteral("/cvglean")));
    EXPECT_EQ(fileBytes(shortcut(kTitles[1])), firstShortcut);
    EXPECT_EQ(fileBytes(data(QStringLiteral("Curvegleaner32/registration.txt"))), firstRecord);
    EXPECT_EQ(entries(first), kFiles) << "no copies left half-way";

    // Into another folder: the shortcuts and the registrations follow it, nothing doubles.
    expectDone();
    ASSERT_TRUE(installer.install(second + QStringLiteral("/")));
    const QString record
        = QString::fromUtf8(fileBytes(data(QStringLiteral("Curvegleaner32/registration.txt"))));
    EXPECT_EQ(record.count(QStringLiteral("[classes root\\Curvegleaner32]")), 1);
    EXPECT_TRUE(record.contains(QStringLiteral("\"UninstallString\"=\"%1/setup /Uninstall\"").arg(second)))
        << s(record);
    EXPECT_FALSE(record.contains(first));
    EXPECT_TRUE(
        fileBytes(shortcut(kTitles[0])).contains(QFile::encodeName(second + QStringLiteral("/cvglean\""))));
    EXPECT_EQ(fileBytes(config(QStringLiteral("mimeapps.list"))),
        QByteArray("[Default Applications]\ntext/html=b.desktop\n"
                   "application/x-curvegleaner32=Curvegleaner32.desktop;\n"));
}

TEST_F(InstallerTest, FailedCopyReportsTheSystemTextAndGoesOn)
{
    const QString target = home.path(QStringLiteral("apps/Curvegleaner32"));
    QFile::remove(dist + QStringLiteral("/cvghelp.chm"));
    writeBytes(target + QStringLiteral("/cvghelp.chm"), "help of an older version");
    ASSERT_TRUE(QDir().mkpath(target + QStringLiteral("/faq.txt/kept")));

    Installer installer(dist, home.folders(), dialogs, shell);
    dialogs.expectBox(QString::fromLocal8Bit(std::strerror(ENOENT)) + QStringLiteral(" : cvghelp.chm"),
        BoxIcon::None, BoxResult::OK);
    dialogs.expectBox(QString::fromLocal8Bit(std::strerror(EISDIR)) + QStringLiteral(" : faq.txt"),
        BoxIcon::None, BoxResult::OK);
    expectDone();
    EXPECT_TRUE(installer.install(target));
    dialogs.verify();

    EXPECT_EQ(fileBytes(target + QStringLiteral("/cvghelp.chm")), QByteArray("help of an older version"));
    EXPECT_TRUE(QFileInfo(target + QStringLiteral("/faq.txt/kept")).isDir());
    for (const char* name : { "infomation.txt", "problems.txt", "sample.cvd", "setup" })
        EXPECT_EQ(fileBytes(target + QLatin1Char('/') + QLatin1String(name)),
            fileBytes(dist + QLatin1Char('/') + QLatin1String(name)))
            << name;
    // The shortcuts are made even for the files that failed.
    for (const QString& t : kTitles)
        EXPECT_TRUE(QFileInfo::exists(shortcut(t))) << s(t);
    EXPECT_TRUE(QFileInfo::exists(data(QStringLiteral("Curvegleaner32/registration.txt"))));
}

TEST_F(InstallerTest, RefusesAFolderThatIsNotAnAbsoluteName)
{
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(home.path(QString())));
    Installer installer(dist, home.folders(), dialogs, shell);
    for (const QString& bad : { QString(), QStringLiteral("apps/Curvegleaner32"),
             home.path(QStringLiteral("a\nb/Curvegleaner32")), home.path(QStringLiteral("a\tb")) }) {
        dialogs.expectBox(QStringLiteral("インストール先のフォルダーを絶対パスで指定してください。"),
            BoxIcon::Warning, BoxResult::OK);
        EXPECT_FALSE(installer.install(bad)) << s(bad);
        dialogs.verify();
    }
    QDir::setCurrent(cwd);
    EXPECT_EQ(shell.changes, 0);
    EXPECT_EQ(entries(home.path(QString())), QStringList({ QStringLiteral("dist") }))
        << "nothing was created";
}

TEST_F(InstallerTest, UninstallLeavesOnlySetupAndRemovesSettingsAndRegistrations)
{
    const QString target = home.path(kOddFolder + QStringLiteral("/Curvegleaner32"));
    const QByteArray usersDefaults = "[Added Associations]\ntext/plain=e.desktop;\n";
    writeBytes(config(QStringLiteral("mimeapps.list")), usersDefaults);
    {
        Installer installer(dist, home.folders(), dialogs, shell);
        expectDone();
        ASSERT_TRUE(installer.install(target));
    }
    // The main program's settings and the maker's other settings, next to someone else's.
    writeBytes(config(QStringLiteral("Velmoran/Curvegleaner32.ini")), "[General]\nMain=@ByteArray(x)\n");
    writeBytes(config(QStringLiteral("Velmoran/Other/deep.ini")), "x");
    writeBytes(config(QStringLiteral("Velmoran.ini")), "x");
    writeBytes(config(QStringLiteral("Someone/kept.ini")), "kept");
    writeBytes(target + QStringLiteral("/mine.txt"), "the user's own file");
    shell.changes = 0;

    // Run from the installed folder; the box dismissed keeps the registrations.
    Installer installed(target, home.folders(), dialogs, shell);
    dialogs.expectBox(
        QStringLiteral("システムから削除しました"), BoxIcon::Information, BoxResult::Closed);
    EXPECT_FALSE(installed.uninstall());
    dialogs.verify();
    EXPECT_EQ(entries(target), QStringList({ QStringLiteral("mine.txt"), QStringLiteral("setup") }));
    EXPECT_FALSE(QFileInfo::exists(home.folders().groupFolder()));
    EXPECT_FALSE(QFileInfo::exists(home.folders().groupMenuFile()));
    EXPECT_FALSE(QFileInfo::exists(home.folders().groupDirectoryFile()));
    EXPECT_TRUE(QFileInfo::exists(config(QStringLiteral("Velmoran/Curvegleaner32.ini"))));
    EXPECT_TRUE(QFileInfo::exists(home.folders().registrationRecord()));
    EXPECT_TRUE(QFileInfo::exists(home.folders().handlerEntry()));
    EXPECT_EQ(shell.changes, 0);

    dialogs.expectBox(
        QStringLiteral("システムから削除しました"), BoxIcon::Information, BoxResult::OK);
    EXPECT_TRUE(installed.uninstall());
    dialogs.verify();
    EXPECT_EQ(shell.changes, 1);
    EXPECT_EQ(entries(target), QStringList({ QStringLiteral("mine.txt"), QStringLiteral("setup") }));
    EXPECT_FALSE(QFileInfo::exists(config(QStringLiteral("Velmoran"))));
    EXPECT_FALSE(QFileInfo::exists(config(QStringLiteral("Velmoran.ini"))));
    EXPECT_EQ(fileBytes(config(QStringLiteral("Someone/kept.ini"))), QByteArray("kept"));
    EXPECT_FALSE(QFileInfo::exists(home.folders().registrationRecord()));
    EXPECT_FALSE(QFileInfo::exists(data(QStringLiteral("Curvegleaner32"))));
    EXPECT_FALSE(QFileInfo::exists(home.folders().mimePackage()));
    EXPECT_FALSE(QFileInfo::exists(home.folders().handlerEntry()));
    EXPECT_FALSE(QFileInfo::exists(home.folders().uninstallEntry()));
    EXPECT_EQ(fileBytes(config(QStringLiteral("mimeapps.list"))), usersDefaults)
        << "the user's lines are kept";

    // The desktop no longer knows the type.
    const QString document = home.path(QStringLiteral("after.cvd"));
    writeBytes(document,
        "\x03"
        "CVD");
    const RunResult type = runTool(QStringLiteral("gio"),
        { QStringLiteral("info"), QStringLiteral("-a"), QStringLiteral("standard::content-type"), document },
        home.path(QString()));
    if (type.started) {
        EXPECT_FALSE(type.output.contains(kMimeType)) << s(type.output);
    }
}

TEST_F(InstallerTest, UninstallKeepsAGroupFolderThatHoldsOtherEntries)
{
    const QString target = home.path(QStringLiteral("apps/Curvegleaner32"));
    {
        Installer installer(dist, home.folders(), dialogs, shell);
        expectDone();
        ASSERT_TRUE(installer.install(target));
    }
    const QString foreign = home.folders().groupFolder() + QStringLiteral("/user added.desktop");
    writeBytes(foreign, "[Desktop Entry]\n");
    // Started from the distribution folder: the distribution's copies go, the installed ones stay.
    Installer fromDist(dist, home.folders(), dialogs, shell);
    dialogs.expectBox(
        QStringLiteral("システムから削除しました"), BoxIcon::Information, BoxResult::OK);
    EXPECT_TRUE(fromDist.uninstall());
    EXPECT_EQ(entries(home.folders().groupFolder()), QStringList({ QStringLiteral("user added.desktop") }));
    EXPECT_TRUE(QFileInfo::exists(home.folders().groupMenuFile()));
    EXPECT_EQ(entries(dist), QStringList({ QStringLiteral("setup") }));
    EXPECT_EQ(entries(target), kFiles);
}

// The icon in the theme's sizes, named by the entries; and after the
// uninstall the home folder is as it was before the install: no file, no
// cache and no empty folder of the install stays.
TEST_F(InstallerTest, IconIsShippedAndUninstallLeavesTheHomeAsItWas)
{
    // Every account has these two.
    ASSERT_TRUE(QDir().mkpath(config(QString())));
    ASSERT_TRUE(QDir().mkpath(data(QString())));
    const std::string before = tree(home.path(QString()), { QStringLiteral("dist") });
    const QString target = home.path(QStringLiteral("apps/Curvegleaner32"));
    {
        Installer installer(dist, home.folders(), dialogs, shell);
        expectDone();
        ASSERT_TRUE(installer.install(target));
    }

    const QString theme = data(QStringLiteral("icons/hicolor"));
    EXPECT_EQ(entries(theme),
        QStringList({ QStringLiteral("128x128"), QStringLiteral("16x16"), QStringLiteral("22x22"),
            QStringLiteral("24x24"), QStringLiteral("256x256"), QStringLiteral("32x32"),
            QStringLiteral("48x48"), QStringLiteral("64x64") }));
    for (const QString& folder : entries(theme)) {
        const int size = folder.section(QLatin1Char('x'), 0, 0).toInt();
        const QImage icon(theme + QLatin1Char('/') + folder + QStringLiteral("/apps/curvegleaner32.png"));
        ASSERT_EQ(icon.size(), QSize(size, size)) << s(folder);
        // Clear at the corners, the white face and the red curve inside.
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << size;
        int white = 0, red = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QRgb c = icon.pixel(x, y);
                white += qAlpha(c) == 255 && qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240;
                red += qAlpha(c) == 255 && qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) < 90;
            }
        EXPECT_GT(white, size * size / 3) << size;
        EXPECT_GT(red, size / 4) << size;
    }
    // The program, its document and the way out show the program's icon; the
    // texts and the help file the theme's icons for their kind.
    const std::pair<QString, const char*> named[] = { { shortcut(kTitles[0]), "curvegleaner32" },
        { shortcut(kTitles[6]), "curvegleaner32" }, { shortcut(kTitles[1]), "help-browser" },
        { shortcut(kTitles[2]), "text-x-generic" }, { home.folders().handlerEntry(), "curvegleaner32" },
        { home.folders().uninstallEntry(), "curvegleaner32" },
        { home.folders().groupDirectoryFile(), "curvegleaner32" } };
    for (const auto& [entry, icon] : named)
        EXPECT_TRUE(fileBytes(entry).contains(QByteArray("\nIcon=") + icon + "\n")) << s(entry);
    EXPECT_TRUE(fileBytes(home.folders().mimePackage()).contains("<icon name=\"curvegleaner32\"/>"));

    Installer installed(target, home.folders(), dialogs, shell);
    dialogs.expectBox(QStringLiteral("システムから削除しました"), BoxIcon::Information, BoxResult::OK);
    ASSERT_TRUE(installed.uninstall());
    EXPECT_EQ(entries(target), QStringList({ QStringLiteral("setup") }));
    EXPECT_EQ(tree(home.path(QString()), { QStringLiteral("dist"), QStringLiteral("apps") }), before);
}

// A user's icon cache learns of the icon and forgets it again; the user's own
// icons, menus and types stay as they were.
TEST_F(InstallerTest, UninstallKeepsWhatOthersPutBesideIt)
{
    const QString theme = data(QStringLiteral("icons/hicolor"));
    const QString cache = theme + QStringLiteral("/icon-theme.cache");
    writeBytes(theme + QStringLiteral("/48x48/apps/other.png"),
        fileBytes(QStringLiteral(":/icons/hicolor/48x48/apps/curvegleaner32.png")));
    writeBytes(data(QStringLiteral("applications/other.desktop")),
        "[Desktop Entry]\nType=Application\nName=Other\nExec=other %f\nMimeType=text/x-other;\n");
    writeBytes(data(QStringLiteral("mime/packages/other.xml")),
        "<?xml version=\"1.0\"?>\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">"
        "<mime-type type=\"text/x-other\"><glob pattern=\"*.other\"/></mime-type></mime-info>\n");
    writeBytes(config(QStringLiteral("menus/applications-merged/other.menu")), "<Menu/>\n");
    writeBytes(data(QStringLiteral("desktop-directories/other.directory")),
        "[Desktop Entry]\nType=Directory\nName=O\n");
    const bool cacheTool = runTool(
        QStringLiteral("gtk-update-icon-cache"), { QStringLiteral("-q"), QStringLiteral("-t"), theme }, theme)
                               .started;
    shell.associationsChanged(home.folders());
    const std::string before = tree(home.path(QString()), { QStringLiteral("dist") });

    const QString target = home.path(QStringLiteral("apps/Curvegleaner32"));
    {
        Installer installer(dist, home.folders(), dialogs, shell);
        expectDone();
        ASSERT_TRUE(installer.install(target));
    }
    if (cacheTool) {
        EXPECT_TRUE(fileBytes(cache).contains("curvegleaner32"));
    }
    Installer installed(target, home.folders(), dialogs, shell);
    dialogs.expectBox(QStringLiteral("システムから削除しました"), BoxIcon::Information, BoxResult::OK);
    ASSERT_TRUE(installed.uninstall());
    EXPECT_EQ(tree(home.path(QString()), { QStringLiteral("dist"), QStringLiteral("apps") }), before);
}

} // namespace
