// The editing commands of the edit menu, on the current page.
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "worksheet/EditCommands.h"

#include <QAction>
#include <QTabWidget>

namespace cvg {

void TfrmMain::applyEditResult(const EditResult& result)
{
    syncUndoActions();
    pointsChanged();
    if (result.captionChanged) {
        pcSheet_->setTabText(doc_.sheets.currentIndex(), doc_.sheets.currentPage().caption);
        RebuildSheetList();
    }
    if (result.uncheckDigitize)
        action(QStringLiteral("DoDataCovert"))->setChecked(false);
    if (result.modified)
        MarkModified();
    if (result.redraw)
        RedrawPointMarkers(settings_.connectLine != 0);
    UpdateSheetInfo();
}

void TfrmMain::DataCutExecute()
{
    applyEditResult(DataCut(doc_, context_.dialogs));
}

void TfrmMain::connectEditActions()
{
    const std::pair<const char*, EditResult (*)(Document&, Dialogs&)> commands[] = {
        {"DataCut", &DataCut}, {"DataCopy", &DataCopy}, {"DataPaste", &DataPaste},
        {"DataAllDelete", &DataAllDelete}, {"DataSort", &DataSort}};
    for (const auto& [name, command] : commands) {
        auto run = command;
        connect(action(QString::fromLatin1(name)), &QAction::triggered, this, [this, run] {
            runCommand([this, run] { applyEditResult(run(doc_, context_.dialogs)); });
        });
    }
    connect(action(QStringLiteral("DataUndo")), &QAction::triggered, this,
            [this] { runCommand([this] { applyEditResult(DataUndo(doc_)); }); });
    connect(action(QStringLiteral("DataRedo")), &QAction::triggered, this,
            [this] { runCommand([this] { applyEditResult(DataRedo(doc_)); }); });
}

} // namespace cvg
