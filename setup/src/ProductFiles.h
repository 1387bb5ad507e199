#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// What the installer knows of the main program: file names, shortcut titles
// and the texts it shows. Nothing here is shared with the main program.
namespace cvg::setup {

inline const QString kProductFolder = QStringLiteral("Curvegleaner32");
inline const QString kGroupFolder = QStringLiteral("Curvegleaner32 for Windows");
inline const QString kProgramFile = QStringLiteral("cvglean");
inline const QString kSetupFile = QStringLiteral("setup");
inline const QString kUninstallArgument = QStringLiteral("/Uninstall");

// The title of every box the installer shows.
inline const QString kAppTitle = QStringLiteral("インストール");
inline const QString kUninstallCaption = QStringLiteral("アンインストール");
inline const QString kInstallText
    = QStringLiteral("プログラムをインストールします。\r\n以下のディレクトリにインストールされます。");
inline const QString kUninstallText = QStringLiteral(
    "インストールされている全てのファイルを削除します。\r\nディレクトリとsetup.exeは削除されません。");
inline const QString kChooseFolderCaption = QStringLiteral("インストール先のフォルダーを選択してください。");
inline const QString kChooserRootName = QStringLiteral("ディスクトップ");
inline const QString kInstallDone = QStringLiteral("インストールは終了しました");
inline const QString kUninstallDone = QStringLiteral("システムから削除しました");
// An empty, relative or unprintable target would scatter the files somewhere
// the user did not mean; it is refused with this warning.
inline const QString kBadTarget = QStringLiteral("インストール先のフォルダーを絶対パスで指定してください。");

// The program's icon in the desktop's icon theme, named in its menu entries
// and for its documents.
inline const QString kIconName = QStringLiteral("curvegleaner32");

struct ProgramFile {
    QString name;
    QString title; // empty: no shortcut
    QString icon; // the shortcut's icon: ours, or the theme's for the kind of document
};

// The files in the order they are installed, with their shortcut titles.
const std::vector<ProgramFile>& programFiles();
// The shortcuts and files uninstall removes, in its own order.
const QStringList& uninstallTitles();
const QStringList& uninstallFiles();

// The folder and the product folder name joined without a doubled delimiter.
QString appendProductFolder(const QString& folder);
// The user's program folder ("~/.local/opt") when it exists, otherwise the home folder,
// followed by the product folder name.
QString defaultTargetFolder(const QString& home);
// Only an exact "/Uninstall" as the first argument (program name excluded) selects uninstall.
bool isUninstallMode(const QStringList& arguments);
// A folder name joined with a file name without a doubled delimiter.
QString joinPath(const QString& folder, const QString& name);

} // namespace cvg::setup
