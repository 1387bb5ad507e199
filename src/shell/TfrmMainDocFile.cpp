// Reading and writing the document file from the main window.
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"

namespace cvg {

bool TfrmMain::readDocumentFile(const QString& path)
{
    doc_.fileName.setFromPath(path);
    setStatusTexts(doc_.fileName.fileName, QStringLiteral("変更なし"));
    context_.dialogs.info(QStringLiteral("ファイルの読込に失敗しました"));
    return false;
}

bool TfrmMain::writeDocumentFile(const QString&)
{
    return false;
}

} // namespace cvg
