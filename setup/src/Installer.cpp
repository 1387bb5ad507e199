#include "Installer.h"

#include "DesktopFiles.h"
#include "FileCopy.h"
#include "ProductFiles.h"
#include "RegistrationRecord.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace cvg::setup {

namespace {

const QString kClassKey = QStringLiteral("\\Curvegleaner32");
const QString kDocumentKind = QStringLiteral("関連づけファイル");
const QString kUninstallName = QStringLiteral("Curvegleaner32の削除");
// The icon files inside the installer, laid out as in the icon theme.
const QString kIconResources = QStringLiteral(":/icons/hicolor");
// What the MIME database tool writes beside its packages.
const QStringList kMimeDatabaseFiles
    = { QStringLiteral("XMLnamespaces"), QStringLiteral("aliases"), QStringLiteral("generic-icons"),
          QStringLiteral("globs"), QStringLiteral("globs2"), QStringLiteral("icons"), QStringLiteral("magic"),
          QStringLiteral("mime.cache"), QStringLiteral("subclasses"), QStringLiteral("treemagic"),
          QStringLiteral("types"), QStringLiteral("version") };
// What the desktop-entry tool writes when no entry names a document type.
const QString kEmptyMenuCache = QStringLiteral("[MIME Cache]");

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

// The icon files the installer carries, as paths below the icon theme folder.
QStringList iconFiles()
{
    QStringList files;
    QDirIterator it(kIconResources, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(kIconResources.size() + 1);
    files.sort();
    return files;
}

// Removes `folder`, then its parents, for as long as they are empty, below
// `top` (which stays). Only empty folders go, so nothing of the user's is lost.
void removeEmptyFolders(const QString& folder, const QString& top)
{
    const QString stop = QDir::cleanPath(top) + QLatin1Char('/');
    for (QString f = QDir::cleanPath(folder); f.startsWith(stop) && QDir().rmdir(f);)
        f = QFileInfo(f).path();
}

// The media type folders the MIME database tool emptied go; a database
// built from no packages describes nothing and goes with its folder. One
// with packages of others stays, rebuilt without ours.
void removeEmptyMimeDatabase(const QString& mime, const QString& top)
{
    for (const QString& sub : QDir(mime).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        QDir(mime).rmdir(sub);
    if (QFileInfo::exists(joinPath(mime, QStringLiteral("packages"))))
        return;
    for (const QString& name : kMimeDatabaseFiles)
        QFile::remove(joinPath(mime, name));
    removeEmptyFolders(mime, top);
}

// The desktop-entry cache of a folder without document handlers is empty: it
// goes, and the folder with it when nothing else is there.
void removeEmptyMenuCache(const QString& applications, const QString& top)
{
    const QString cache = joinPath(applications, QStringLiteral("mimeinfo.cache"));
    const std::optional<QString> text = readTextFile(cache);
    if (text && text->trimmed() == kEmptyMenuCache)
        QFile::remove(cache);
    removeEmptyFolders(applications, top);
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

BoxResult Installer::tell(const QString& text, BoxIcon icon)
{
    return dialogs_.message({ text, icon, kAppTitle });
}

bool Installer::install(const QString& targetText)
{
    if (!acceptableTarget(targetText)) {
        tell(kBadTarget, BoxIcon::Warning);
        return false;
    }
    const QString target = QDir::cleanPath(targetText);
    QDir().mkpath(target);

    for (const ProgramFile& file : programFiles()) {
        const QString installed = joinPath(target, file.name);
        const QString error = copyReplacing(joinPath(setupFolder_, file.name), installed);
        if (!error.isEmpty())
            tell(error + QStringLiteral(" : ") + file.name, BoxIcon::None);
        if (!file.title.isEmpty())
            writeShortcut(target, installed, file);
    }
    if (QFileInfo(folders_.groupFolder()).isDir()) {
        writeTextFile(folders_.groupMenuFile(), groupMenuText());
        writeTextFile(folders_.groupDirectoryFile(), groupDirectoryText());
    }

    installIcon();
    registerDocuments(target);
    shell_.associationsChanged(folders_);
    return tell(kInstallDone, BoxIcon::Information) == BoxResult::OK;
}

void Installer::writeShortcut(const QString& target, const QString& installed, const ProgramFile& file)
{
    // The applications folder itself may not exist yet on a new account.
    QDir().mkpath(folders_.groupFolder());
    DesktopEntry entry;
    entry.name = file.title;
    entry.icon = file.icon;
    if (file.name == kProgramFile)
        entry.command = { installed };
    else
        entry.command = { kOpener, installed };
    entry.workingFolder = withDelimiter(target);
    entry.categories = kGroupCategory;
    writeTextFile(folders_.shortcutFile(file.title), desktopEntryText(entry));
}

void Installer::installIcon()
{
    for (const QString& file : iconFiles()) {
        QFile icon(kIconResources + QLatin1Char('/') + file);
        if (icon.open(QIODevice::ReadOnly))
            writeFile(joinPath(folders_.iconTheme(), file), icon.readAll());
    }
}

void Installer::removeIcon()
{
    for (const QString& file : iconFiles()) {
        const QString installed = joinPath(folders_.iconTheme(), file);
        QFile::remove(installed);
        removeEmptyFolders(QFileInfo(installed).path(), folders_.dataHome);
    }
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
    handler.icon = kIconName;
    handler.command = { program };
    handler.fieldCode = QStringLiteral("%f");
    handler.mimeType = kMimeType;
    handler.noDisplay = true;
    writeTextFile(folders_.handlerEntry(), desktopEntryText(handler));

    DesktopEntry remover;
    remover.name = kUninstallName;
    remover.icon = kIconName;
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
        removeEmptyFolders(QFileInfo(folders_.groupMenuFile()).path(), folders_.configHome);
        removeEmptyFolders(QFileInfo(folders_.groupDirectoryFile()).path(), folders_.dataHome);
    }
    for (const QString& name : uninstallFiles())
        QFile::remove(joinPath(setupFolder_, name));

    if (tell(kUninstallDone, BoxIcon::Information) != BoxResult::OK)
        return false;

    removeTree(folders_.settingsFolder());
    removeTree(folders_.settingsFile());
    unregisterDocuments();
    removeIcon();
    shell_.associationsChanged(folders_);
    // The caches rebuilt without our entries may now describe nothing.
    removeEmptyMimeDatabase(folders_.mimeFolder(), folders_.dataHome);
    removeEmptyMenuCache(folders_.applications(), folders_.dataHome);
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
