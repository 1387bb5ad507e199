#include "SetupTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace cvg::setup::test {

ScriptedSetupDialogs::~ScriptedSetupDialogs()
{
    verify();
}

ScriptedSetupDialogs& ScriptedSetupDialogs::expectBox(const QString& text, BoxIcon icon, BoxResult answer)
{
    Step s;
    s.box = { text, icon, QStringLiteral("インストール") };
    s.answer = answer;
    steps_.push_back(s);
    return *this;
}

ScriptedSetupDialogs& ScriptedSetupDialogs::expectFolder(std::optional<QString> answer)
{
    Step s;
    s.folder = true;
    s.folderAnswer = std::move(answer);
    steps_.push_back(s);
    return *this;
}

void ScriptedSetupDialogs::verify()
{
    for (const Step& s : steps_) {
        if (s.folder)
            ADD_FAILURE() << "expected folder chooser was never shown";
        else
            ADD_FAILURE() << "expected box was never shown: " << s.box.text.toStdString();
    }
    steps_.clear();
}

BoxResult ScriptedSetupDialogs::message(const Box& box)
{
    shown << box.text;
    if (steps_.empty() || steps_.front().folder) {
        ADD_FAILURE() << "unexpected box: " << box.text.toStdString();
        return BoxResult::Closed;
    }
    const Step s = steps_.front();
    steps_.pop_front();
    EXPECT_EQ(box.text.toStdString(), s.box.text.toStdString());
    EXPECT_EQ(box.icon, s.box.icon) << box.text.toStdString();
    EXPECT_EQ(box.title.toStdString(), s.box.title.toStdString());
    return s.answer;
}

std::optional<QString> ScriptedSetupDialogs::chooseFolder(const QString& caption, const QString& rootName)
{
    lastCaption = caption;
    lastRootName = rootName;
    if (steps_.empty() || !steps_.front().folder) {
        ADD_FAILURE() << "unexpected folder chooser";
        return std::nullopt;
    }
    const Step s = steps_.front();
    steps_.pop_front();
    return s.folderAnswer;
}

TempHome::TempHome()
    : oldHome_(qgetenv("HOME"))
    , oldData_(qgetenv("XDG_DATA_HOME"))
    , oldConfig_(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("HOME", QFile::encodeName(dir_.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral(".local/share"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral(".config"))));
}

TempHome::~TempHome()
{
    auto restore = [](const char* name, const QByteArray& old) {
        if (old.isNull())
            qunsetenv(name);
        else
            qputenv(name, old);
    };
    restore("HOME", oldHome_);
    restore("XDG_DATA_HOME", oldData_);
    restore("XDG_CONFIG_HOME", oldConfig_);
}

QString TempHome::path(const QString& relative) const
{
    return dir_.path() + QLatin1Char('/') + relative;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

void writeDistribution(const QString& folder, const QString& argumentsFile)
{
    QDir().mkpath(folder);
    // Single quotes suffice: the tests' own folders hold none.
    writeBytes(folder + QStringLiteral("/cvglean"),
        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + QFile::encodeName(argumentsFile)
            + "'\n");
    QFile::setPermissions(folder + QStringLiteral("/cvglean"),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    const char* names[]
        = { "cvghelp.chm", "readme.txt", "problems.txt", "faq.txt", "infomation.txt", "sample.cvd" };
    for (const char* name : names)
        writeBytes(folder + QLatin1Char('/') + QLatin1String(name), QByteArray("contents of ") + name);
    writeBytes(folder + QStringLiteral("/setup"), "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(
        folder + QStringLiteral("/setup"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList entries(const QString& folder)
{
    QStringList names
        = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

RunResult runTool(const QString& program, const QStringList& arguments, const QString& workingFolder)
{
    RunResult r;
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return r;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GIO_USE_VFS"), QStringLiteral("local"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingFolder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(path, arguments);
    r.started = p.waitForStarted(30000);
    if (!r.started)
        return r;
    p.waitForFinished(30000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromUtf8(p.readAll());
    return r;
}

} // namespace cvg::setup::test
