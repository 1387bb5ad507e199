// The installer's rules and the texts of the files it writes.
#include "DesktopFiles.h"
#include "FileCopy.h"
#include "ProductFiles.h"
#include "RegistrationRecord.h"
#include "SetupTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using namespace cvg::setup;
using namespace cvg::setup::test;

namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

} // namespace

TEST(SetupRules, TargetFolderAndModeRules)
{
    EXPECT_EQ(s(appendProductFolder(QStringLiteral("/"))), "/Curvegleaner32");
    EXPECT_EQ(s(appendProductFolder(QStringLiteral("/srv/apps/"))), "/srv/apps/Curvegleaner32");
    EXPECT_EQ(s(appendProductFolder(QStringLiteral("/srv/apps"))), "/srv/apps/Curvegleaner32");

    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // Without the user's program folder the product folder goes straight into the home folder.
    EXPECT_EQ(s(defaultTargetFolder(home.path())), s(home.path() + QStringLiteral("/Curvegleaner32")));
    ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/.local/opt")));
    EXPECT_EQ(
        s(defaultTargetFolder(home.path())), s(home.path() + QStringLiteral("/.local/opt/Curvegleaner32")));
    EXPECT_EQ(s(defaultTargetFolder(QStringLiteral("/"))), "/Curvegleaner32");

    EXPECT_TRUE(isUninstallMode({ QStringLiteral("/Uninstall") }));
    EXPECT_TRUE(isUninstallMode({ QStringLiteral("/Uninstall"), QStringLiteral("more") }));
    EXPECT_FALSE(isUninstallMode({}));
    EXPECT_FALSE(isUninstallMode({ QStringLiteral("/uninstall") }));
    EXPECT_FALSE(isUninstallMode({ QStringLiteral("/UNINSTALL") }));
    EXPECT_FALSE(isUninstallMode({ QStringLiteral("/Uninstall ") }));
    EXPECT_FALSE(isUninstallMode({ QStringLiteral("x"), QStringLiteral("/Uninstall") }));

    // Uninstall removes every file but setup, and every shortcut that install makes.
    QStringList installed, titled;
    for (const ProgramFile& f : programFiles()) {
        installed << f.name;
        if (!f.title.isEmpty())
            titled << f.title;
    }
    EXPECT_EQ(s(installed.join(QLatin1Char(','))),
        "cvglean,cvghelp.chm,readme.txt,problems.txt,faq.txt,infomation.txt,sample.cvd,setup");
    QStringList removed = uninstallFiles();
    removed << QStringLiteral("setup");
    removed.sort();
    installed.sort();
    EXPECT_EQ(removed, installed);
    QStringList titles = uninstallTitles();
    titles.sort();
    titled.sort();
    EXPECT_EQ(titles, titled);
}

TEST(DesktopFiles, ExecArgumentsCannotBreakOut)
{
    EXPECT_EQ(s(quoteExecArgument(QStringLiteral("/opt/a b/cvglean"))), R"("/opt/a b/cvglean")");
    EXPECT_EQ(s(quoteExecArgument(QStringLiteral(R"(/x/"q" $HOME `id`;\n 50% it's)"))),
        R"("/x/\"q\" \$HOME \`id\`;\\n 50%% it's")");
    EXPECT_EQ(s(escapeDesktopValue(QStringLiteral(R"("/x/\"q\" \$H")"))), R"("/x/\\"q\\" \\$H")");
    EXPECT_EQ(s(escapeDesktopValue(QStringLiteral(" a\tb\nc\rd"))), R"(\sa\tb\nc\rd)");
    EXPECT_TRUE(hasControlCharacters(QStringLiteral("/a\nb")));
    EXPECT_TRUE(hasControlCharacters(QStringLiteral("/a\tb")));
    EXPECT_FALSE(hasControlCharacters(QStringLiteral("/a b/日本語'\";$")));

    DesktopEntry e;
    e.name = QStringLiteral("Curvegleanerプログラム");
    e.comment = QStringLiteral("関連づけファイル");
    e.command = { QStringLiteral("/opt/my \"apps\"/cvglean") };
    e.fieldCode = QStringLiteral("%f");
    e.workingFolder = QStringLiteral("/opt/my \"apps\"/");
    e.mimeType = kMimeType;
    e.categories = QStringLiteral("X-Curvegleaner32");
    e.noDisplay = true;
    EXPECT_EQ(s(desktopEntryText(e)),
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Curvegleanerプログラム\n"
        "Comment=関連づけファイル\n"
        R"(Exec="/opt/my \\"apps\\"/cvglean" %f)"
        "\n"
        "Path=/opt/my \"apps\"/\n"
        "MimeType=application/x-curvegleaner32;\n"
        "Categories=X-Curvegleaner32;\n"
        "NoDisplay=true\n"
        "Terminal=false\n");

    EXPECT_EQ(s(mimePackageText(QStringLiteral("関連づけファイル"))),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"application/x-curvegleaner32\">\n"
        "    <comment>関連づけファイル</comment>\n"
        "    <icon name=\"curvegleaner32\"/>\n"
        "    <glob pattern=\"*.cvd\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n");
    EXPECT_EQ(s(groupDirectoryText()),
        "[Desktop Entry]\nType=Directory\nName=Curvegleaner32 for Windows\nIcon=curvegleaner32\n");
}

TEST(DesktopFiles, DefaultApplicationEditKeepsTheUsersLines)
{
    const QString mime = kMimeType;
    const QString id = kHandlerId;
    EXPECT_EQ(s(withDefaultApplication(QString(), mime, id)),
        "[Default Applications]\napplication/x-curvegleaner32=Curvegleaner32.desktop;\n");

    const QString users = QStringLiteral("[Added Associations]\n"
                                         "text/plain=editor.desktop;\n"
                                         "\n"
                                         "[Default Applications]\n"
                                         "# mine\n"
                                         "text/html=browser.desktop\n"
                                         "\n"
                                         "[Removed Associations]\n"
                                         "image/png=viewer.desktop;\n");
    const QString added = withDefaultApplication(users, mime, id);
    EXPECT_EQ(s(added),
        "[Added Associations]\n"
        "text/plain=editor.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "# mine\n"
        "text/html=browser.desktop\n"
        "application/x-curvegleaner32=Curvegleaner32.desktop;\n"
        "\n"
        "[Removed Associations]\n"
        "image/png=viewer.desktop;\n");
    EXPECT_EQ(s(withDefaultApplication(added, mime, id)), s(added)) << "a second install adds nothing";
    EXPECT_EQ(s(withoutDefaultApplication(added, mime, id)), s(users));

    // Another program's choice stays behind ours and comes back after.
    const QString shared = QStringLiteral("[Default Applications]\n"
                                          "application/x-curvegleaner32=other.desktop;\n");
    const QString ours = withDefaultApplication(shared, mime, id);
    EXPECT_EQ(s(ours),
        "[Default Applications]\n"
        "application/x-curvegleaner32=Curvegleaner32.desktop;other.desktop;\n");
    EXPECT_EQ(s(withoutDefaultApplication(ours, mime, id)), s(shared));
    EXPECT_EQ(s(withoutDefaultApplication(shared, mime, id)), s(shared)) << "not ours: left alone";

    // A last line without its line break and a group that is empty.
    EXPECT_EQ(
        s(withDefaultApplication(QStringLiteral("[Default Applications]\ntext/html=b.desktop"), mime, id)),
        "[Default Applications]\ntext/html=b.desktop\n"
        "application/x-curvegleaner32=Curvegleaner32.desktop;\n");
    EXPECT_EQ(s(withDefaultApplication(QStringLiteral("[Default Applications]\n[Other]\nk=v\n"), mime, id)),
        "[Default Applications]\napplication/x-curvegleaner32=Curvegleaner32.desktop;\n[Other]\nk=v\n");
    EXPECT_EQ(s(withDefaultApplication(QStringLiteral("[Other]\nk=v\n"), mime, id)),
        "[Other]\nk=v\n\n[Default Applications]\n"
        "application/x-curvegleaner32=Curvegleaner32.desktop;\n");
    // The group the install added goes again on removal; a group with more in it stays.
    EXPECT_EQ(s(withoutDefaultApplication(
                  withDefaultApplication(QStringLiteral("[Other]\nk=v\n"), mime, id), mime, id)),
        "[Other]\nk=v\n");
    EXPECT_EQ(s(withoutDefaultApplication(withDefaultApplication(QString(), mime, id), mime, id)), "");
}

TEST(RegistrationRecord, KeysValuesAndDeletionBelowAKey)
{
    RegistrationRecord r;
    r.setValue(kClassesRoot, QStringLiteral("\\.cvd"), QString(), QStringLiteral("Curvegleaner32"));
    r.setValue(kClassesRoot, QStringLiteral("\\Curvegleaner32"), QString(), QStringLiteral("old"));
    r.setValue(
        kClassesRoot, QStringLiteral("\\CURVEGLEANER32\\"), QString(), QStringLiteral("関連づけファイル"));
    r.setValue(kClassesRoot, QStringLiteral("\\Curvegleaner32\\shell\\open\\command"), QString(),
        QStringLiteral(R"("/a "b"\c" "%1")"));
    r.setValue(kClassesRoot, QStringLiteral("\\Curvegleaner32x"), QString(), QStringLiteral("not below"));
    r.setValue(
        kLocalMachine, kUninstallKey, QStringLiteral("DisplayName"), QStringLiteral("Curvegleaner32の削除"));
    r.setValue(kLocalMachine, kUninstallKey, QStringLiteral("displayname"), QStringLiteral("名前"));

    const std::string text = s(r.text());
    EXPECT_EQ(text,
        "[classes root\\.cvd]\n"
        "@=\"Curvegleaner32\"\n"
        "[classes root\\Curvegleaner32]\n"
        "@=\"関連づけファイル\"\n"
        "[classes root\\Curvegleaner32\\shell\\open\\command]\n"
        "@=\"\\\"/a \\\"b\\\"\\\\c\\\" \\\"%1\\\"\"\n"
        "[classes root\\Curvegleaner32x]\n"
        "@=\"not below\"\n"
        "[local machine\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Curvegleaner32]\n"
        "\"DisplayName\"=\"名前\"\n");

    const RegistrationRecord back = RegistrationRecord::parse(r.text());
    EXPECT_EQ(s(back.text()), text);
    EXPECT_EQ(s(back.value(kClassesRoot, QStringLiteral("\\curvegleaner32\\SHELL\\open\\command"), QString())
                      .value_or(QStringLiteral("-"))),
        R"("/a "b"\c" "%1")");
    EXPECT_FALSE(back.value(kClassesRoot, QStringLiteral("\\.cvd"), QStringLiteral("x")).has_value());

    r.deleteKey(kClassesRoot, QStringLiteral("\\Curvegleaner32"));
    EXPECT_FALSE(r.hasKey(kClassesRoot, QStringLiteral("\\Curvegleaner32")));
    EXPECT_FALSE(r.hasKey(kClassesRoot, QStringLiteral("\\Curvegleaner32\\shell\\open\\command")));
    EXPECT_TRUE(r.hasKey(kClassesRoot, QStringLiteral("\\Curvegleaner32x")));
    EXPECT_TRUE(r.hasKey(kClassesRoot, QStringLiteral("\\.cvd")));

    // Damaged lines are dropped, the rest is kept.
    const RegistrationRecord damaged = RegistrationRecord::parse(QStringLiteral("@=\"no key\"\n"
                                                                                "[classes root\\.cvd]\r\n"
                                                                                "@=\"ok\"\r\n"
                                                                                "@=\"unterminated\n"
                                                                                "\"n\"=\"v\" trailing\n"
                                                                                "garbage\n"));
    EXPECT_EQ(s(damaged.text()), "[classes root\\.cvd]\n@=\"ok\"\n");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/sub/registration.txt");
    ASSERT_TRUE(back.save(path));
    EXPECT_EQ(s(RegistrationRecord::load(path).text()), text);
    ASSERT_TRUE(RegistrationRecord().save(path));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(QFile::exists(dir.path() + QStringLiteral("/sub"))) << "an empty record leaves no folder";
}

TEST(FileCopy, ReplacesWholeOrNotAtAll)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString src = dir.path() + QStringLiteral("/src");
    const QString dst = dir.path() + QStringLiteral("/out/dst");
    QByteArray big(300000, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    writeBytes(src, big);
    QFile::setPermissions(src, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther);
    writeBytes(dst, "old contents");

    EXPECT_EQ(s(copyReplacing(src, dst)), "");
    EXPECT_EQ(fileBytes(dst), big);
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(dst).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0704u) << "the copy keeps the source's permission bits";

    // A missing source reports the system's text and leaves the old copy as it was.
    writeBytes(dst, "old contents");
    EXPECT_EQ(s(copyReplacing(dir.path() + QStringLiteral("/missing"), dst)), std::strerror(ENOENT));
    EXPECT_EQ(fileBytes(dst), QByteArray("old contents"));
    // A folder where the copy should go is not replaced.
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/out/folder/inner")));
    EXPECT_EQ(s(copyReplacing(src, dir.path() + QStringLiteral("/out/folder"))), std::strerror(EISDIR));
    EXPECT_TRUE(QFileInfo(dir.path() + QStringLiteral("/out/folder/inner")).isDir());
    // A missing destination folder.
    EXPECT_EQ(s(copyReplacing(src, dir.path() + QStringLiteral("/nowhere/dst"))), std::strerror(ENOENT));
    // No half-written copies are left behind.
    EXPECT_EQ(entries(dir.path() + QStringLiteral("/out")),
        QStringList({ QStringLiteral("dst"), QStringLiteral("folder") }));

    // Copying a file onto itself keeps it.
    EXPECT_EQ(s(copyReplacing(src, src)), "");
    EXPECT_EQ(fileBytes(src), big);

    // Text files: an unreadable or non-UTF-8 file is reported as such, never as empty.
    const QString text = dir.path() + QStringLiteral("/t.list");
    EXPECT_EQ(readTextFile(text), std::optional<QString>(QString()));
    writeBytes(text, "a\xff\n");
    EXPECT_FALSE(readTextFile(text).has_value());
    ASSERT_TRUE(writeTextFile(dir.path() + QStringLiteral("/new/t.txt"), QStringLiteral("日本")));
    EXPECT_EQ(fileBytes(dir.path() + QStringLiteral("/new/t.txt")), QStringLiteral("日本").toUtf8());
}
