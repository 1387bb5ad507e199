#include "Installer.h"

#include "DesktopFiles.h"
#include "FileCopy.h"
#include "ProductFiles.h"
#include "RegistrationRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace cvg::setup {

namespace {

const QString kClassKey = QStringLiteral("\\Curvegleaner32");
const QString kDocumentKind = QStringLiteral("関連づけファイル");
const QString kUninstallName = QStringLiteral("Curvegleaner32の削除");

bool acceptableTarget(const QString& target)
{
    return !target.isEmpty() && QDir::isAbsolutePath(target) && !hasControlCharacters(target);
}

QString withDelimiter(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Removes a file or a link; a folder is removed with everything in it, but a
// link to a folder only as the link.
void removeTree(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else if (info.exists() || info.isSymLink())
        QFile::remove(path);
}

void editDefaults(const QString& path, bool add)
{
    const std::optional<QString> text = readTextFile(path);
    if (!text)
        return; // unreadable: leave the user's file alone rather than lose it
    const QString edited = add ? withDefaultApplication(*text, kMimeType, kHandlerId)
                               : withoutDefaultApplication(*text, kMimeType, kHandlerId);
    if (edited == *text)
        return;
    if (edited.isEmpty())
        QFile::remove(path);
    else
        writeTextFile(path, edited);
}

} // namespace

Installer::Installer(QString setupFolder, UserFolders folders, SetupDialogs& dialogs, DesktopShell& shell)
    : setupFolder_(std::move(setupFolder))
    , folders_(std::move(folders))
    , dialogs_(dialogs)
    , shell_(shell)
{ }

bool Installer::programPresent() const
{
    return QFileInfo(joinPath(setupFolder_, kProgramFile)).isFile();
}

QString Installer::defaultTarget() const
{
    return defaultTargetFolder(folders_.home);
}

BoxResult Installer::tell(const QString& text, BoxIcon icon, BoxButtons buttons)
{
    return dialogs_.message({ text, icon, buttons, kAppTitle });
}

bool Installer::install(const QString& targetText)
{
    if (!acceptableTarget(targetText)) {
        tell(kBadTarget, BoxIcon::Warning, BoxButtons::OK);
        return false;
    }
    const QString target = QDir::cleanPath(targetText);
    QDir().mkpath(target);

    for (const ProgramFile& file : programFiles()) {
        const QString installed = joinPath(target, file.name);
        const QString error = copyReplacing(joinPath(setupFolder_, file.name), installed);
        if (!error.isEmpty())
            tell(error + QStringLiteral(" : ") + file.name, BoxIcon::None, BoxButtons::OK);
        if (!file.title.isEmpty())
            writeShortcut(target, installed, file.title);
    }
    if (QFileInfo(folders_.groupFolder()).isDir()) {
        writeTextFile(folders_.groupMenuFile(), groupMenuText());
        writeTextFile(folders_.groupDirectoryFile(), groupDirectoryText());
    }

    registerDocuments(target);
    shell_.associationsChanged(folders_);
    return tell(kInstallDone, BoxIcon::Information, BoxButtons::Yes) == BoxResult::Yes;
}

void Installer::writeShortcut(const QString& target, const QString& file, const QString& title)
{
    // The applications folder itself may not exist yet on a new account.
    QDir().mkpath(folders_.groupFolder());
    DesktopEntry entry;
    entry.name = title;
    if (QFileInfo(file).fileName() == kProgramFile)
        entry.command = { file };
    else
        entry.command = { kOpener, file };
    entry.workingFolder = withDelimiter(target);
    entry.categories = kGroupCategory;
    writeTextFile(folders_.shortcutFile(title), desktopEntryText(entry));
}

void Installer::registerDocuments(const QString& target)
{
    const QString program = joinPath(target, kProgramFile);
    const QString setup = joinPath(target, kSetupFile);

    RegistrationRecord record = RegistrationRecord::load(folders_.registrationRecord());
    record.setValue(kClassesRoot, QStringLiteral("\\.cvd"), QString(), kProductFolder);
    record.setValue(kClassesRoot, kClassKey, QString(), kDocumentKind);
    record.setValue(
        kClassesRoot, kClassKey + QStringLiteral("\\DefaultIcon"), QString(), program + QStringLiteral(",0"));
    record.setValue(kClassesRoot, kClassKey + QStringLiteral("\\shell\\open\\command"), QString(),
        QLatin1Char('"') + program + QStringLiteral("\" \"%1\""));
    record.setValue(kLocalMachine, kUninstallKey, QStringLiteral("DisplayName"), kUninstallName);
    record.setValue(kLocalMachine, kUninstallKey, QStringLiteral("UninstallString"),
        setup + QLatin1Char(' ') + kUninstallArgument);
    record.save(folders_.registrationRecord());

    // What the desktop reads: the document type, the program that opens it, and the way back out.
    writeTextFile(folders_.mimePackage(), mimePackageText(kDocumentKind));

    DesktopEntry handler;
    handler.name = kProductFolder;
    handler.comment = kDocumentKind;
    handler.command = { program };
    handler.fieldCode = QStringLiteral("%f");
    handler.mimeType = kMimeType;
    handler.noDisplay = true;
    writeTextFile(folders_.handlerEntry(), desktopEntryText(handler));

    DesktopEntry remover;
    remover.name = kUninstallName;
    remover.command = { setup, kUninstallArgument };
    remover.workingFolder = withDelimiter(target);
    remover.categories = QStringLiteral("Settings");
    writeTextFile(folders_.uninstallEntry(), desktopEntryText(remover));

    editDefaults(folders_.mimeAppsList(), true);
}

bool Installer::uninstall()
{
    for (const QString& title : uninstallTitles()) {
        QFile::remove(folders_.shortcutFile(title));
        QDir().rmdir(folders_.groupFolder());
    }
    if (!QFileInfo::exists(folders_.groupFolder())) {
        QFile::remove(folders_.groupMenuFile());
        QFile::remove(folders_.groupDirectoryFile());
    }
    for (const QString& name : uninstallFiles())
        QFile::remove(joinPath(setupFolder_, name));

    if (tell(kUninstallDone, BoxIcon::Information, BoxButtons::Yes) != BoxResult::Yes)
        return false;

    removeTree(folders_.settingsFolder());
    removeTree(folders_.settingsFile());
    unregisterDocuments();
    shell_.associationsChanged(folders_);
    return true;
}

void Installer::unregisterDocuments()
{
    RegistrationRecord record = RegistrationRecord::load(folders_.registrationRecord());
    record.deleteKey(kClassesRoot, QStringLiteral("\\.cvd"));
    record.deleteKey(kClassesRoot, kClassKey);
    record.deleteKey(kLocalMachine, kUninstallKey);
    record.save(folders_.registrationRecord());

    QFile::remove(folders_.mimePackage());
    QFile::remove(folders_.handlerEntry());
    QFile::remove(folders_.uninstallEntry());
    editDefaults(folders_.mimeAppsList(), false);
}

} // namespace cvg::setup
