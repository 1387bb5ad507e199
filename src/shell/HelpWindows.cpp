// Help, the version window and the worksheet settings dialog.
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"

namespace cvg {

QDialog* createVersionWindow(TfrmMain& main, AppContext&)
{
    auto* window = new QDialog(&main, kDialogWindowFlags | Qt::WindowStaysOnTopHint);
    window->setObjectName(QStringLiteral("frmVersion"));
    window->setFixedSize(276, 178);
    return window;
}

TToolWindow* createSheetWindow(TfrmMain& main, AppContext& context)
{
    return makeWindow(&main, context, "frmSheet", QStringLiteral("ワークシートの設定"), QStringLiteral("Sheet"),
                      {0, 0}, kDialogWindowFlags);
}

void ToolWindows::connectHelpActions() {}
void ToolWindows::ShowHelpTopic(const QString&) {}

} // namespace cvg
