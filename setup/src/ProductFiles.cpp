#include "ProductFiles.h"

#include <QFileInfo>

namespace cvg::setup {

const std::vector<ProgramFile>& programFiles()
{
    // The texts and the help file open in the desktop's viewers; the theme names their icons.
    const QString help = QStringLiteral("help-browser");
    const QString text = QStringLiteral("text-x-generic");
    static const std::vector<ProgramFile> files = {
        { kProgramFile, QStringLiteral("Curvegleanerプログラム"), kIconName },
        { QStringLiteral("cvghelp.chm"), QStringLiteral("ヘルプファイル"), help },
        { QStringLiteral("readme.txt"), QStringLiteral("最初にお読みください"), text },
        { QStringLiteral("problems.txt"), QStringLiteral("問題報告リスト"), text },
        { QStringLiteral("faq.txt"), QStringLiteral("よくある質問"), text },
        { QStringLiteral("infomation.txt"), QStringLiteral("ご案内"), text },
        { QStringLiteral("sample.cvd"), QStringLiteral("サンプルデータ"), kIconName },
        { kSetupFile, QString(), QString() },
    };
    return files;
}

const QStringList& uninstallTitles()
{
    static const QStringList titles = {
        QStringLiteral("Curvegleanerプログラム"),
        QStringLiteral("ヘルプファイル"),
        QStringLiteral("最初にお読みください"),
        QStringLiteral("よくある質問"),
        QStringLiteral("ご案内"),
        QStringLiteral("問題報告リスト"),
        QStringLiteral("サンプルデータ"),
    };
    return titles;
}

const QStringList& uninstallFiles()
{
    static const QStringList files = {
        kProgramFile,
        QStringLiteral("cvghelp.chm"),
        QStringLiteral("faq.txt"),
        QStringLiteral("readme.txt"),
        QStringLiteral("infomation.txt"),
        QStringLiteral("problems.txt"),
        QStringLiteral("sample.cvd"),
    };
    return files;
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString appendProductFolder(const QString& folder)
{
    return joinPath(folder, kProductFolder);
}

QString defaultTargetFolder(const QString& home)
{
    const QString programs = joinPath(home, QStringLiteral(".local/opt"));
    if (QFileInfo(programs).isDir())
        return appendProductFolder(programs);
    return appendProductFolder(home);
}

bool isUninstallMode(const QStringList& arguments)
{
    return !arguments.isEmpty() && arguments.first() == kUninstallArgument;
}

} // namespace cvg::setup
