#pragma once

#include "DesktopShell.h"
#include "SetupDialogs.h"
#include "UserFolders.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <optional>

namespace cvg::setup::test {

// Answers the installer's boxes and folder chooser from a script, checks each
// box's exact text, icon and title, and fails the test on a box that
// was not expected or on answers left over.
class ScriptedSetupDialogs final : public SetupDialogs {
public:
    ~ScriptedSetupDialogs() override;
    ScriptedSetupDialogs& expectBox(const QString& text, BoxIcon icon, BoxResult answer);
    ScriptedSetupDialogs& expectFolder(std::optional<QString> answer);
    void verify();

    BoxResult message(const Box& box) override;
    std::optional<QString> chooseFolder(const QString& caption, const QString& rootName) override;

    QStringList shown; // texts of the boxes shown, in order
    QString lastCaption, lastRootName;

private:
    struct Step {
        bool folder = false;
        Box box;
        BoxResult answer = BoxResult::OK;
        std::optional<QString> folderAnswer;
    };
    std::deque<Step> steps_;
};

// Records the documents opened; rebuilds the desktop caches for real, inside
// the temporary home, and counts how often it was asked to.
class RecordingShell final : public SystemShell {
public:
    bool openDocument(const QString& path) override
    {
        opened << path;
        return true;
    }
    void associationsChanged(const UserFolders& folders) override
    {
        ++changes;
        SystemShell::associationsChanged(folders);
    }
    QStringList opened;
    int changes = 0;
};

// A fresh home folder: HOME, XDG_DATA_HOME and XDG_CONFIG_HOME point into it
// while the object lives.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString path(const QString& relative) const;
    UserFolders folders() const { return UserFolders::fromEnvironment(); }
    bool valid() const { return dir_.isValid(); }

private:
    QTemporaryDir dir_;
    QByteArray oldHome_, oldData_, oldConfig_;
};

// Fills `folder` with every file the installer copies. The "cvglean" there is
// a small program that writes each of its arguments on a line of `argumentsFile`.
void writeDistribution(const QString& folder, const QString& argumentsFile);
QByteArray fileBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);
// The names in a folder, sorted, without "." and "..".
QStringList entries(const QString& folder);

struct RunResult {
    bool started = false;
    int exitCode = -1;
    QString output;
};
// Runs a program found on the PATH; `started` is false when it is not installed.
RunResult runTool(const QString& program, const QStringList& arguments, const QString& workingFolder);

} // namespace cvg::setup::test
