// The editing commands of the edit menu, on the current page, and undo and
// redo through the document's history.
#include "platform/Dialogs.h"
#include "shell/AppContext.h"
#include "shell/TfrmMain.h"
#include "shell/ToolWindows.h"
#include "worksheet/EditCommands.h"

#include <QAction>
#include <QTabWidget>

namespace cvg {

void TfrmMain::applyEditResult(const EditResult& result)
{
    if (result.restored) {
        documentRestored();
        return;
    }
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

void TfrmMain::documentRestored()
{
    // The step may have added, removed or renamed pages and made another
    // one current; the tabs and every grid follow the model again.
    rebuildSheetTabs();
    LayoutSheetGrid();
    Worksheets& sheets = doc_.sheets;
    const int count = PointCount(sheets.currentPage());
    if (sheets.currentRow > count)
        sheets.currentRow = count;
    sheets.selectionStart = std::min(sheets.selectionStart, std::max(count, 1));
    sheets.selectionEnd = std::min(sheets.selectionEnd, std::max(count, 1));
    RedrawPointMarkers(settings_.connectLine != 0);
    if (windows_)
        windows_->documentRestored();
    UpdateSheetInfo();
    showModifiedState();
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
    const std::pair<const char*, EditResult (*)(Document&, Progress&, Dialogs&)> steps[] = {
        {"DataUndo", &DataUndo}, {"DataRedo", &DataRedo}};
    for (const auto& [name, step] : steps) {
        auto run = step;
        connect(action(QString::fromLatin1(name)), &QAction::triggered, this, [this, run] {
            runCommand([this, run] { applyEditResult(run(doc_, *progress_, context_.dialogs)); });
        });
    }
    // The keys every editor has for them.
    action(QStringLiteral("DataUndo"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    action(QStringLiteral("DataRedo"))->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
    for (const char* name : {"DataUndo", "DataRedo"})
        action(QString::fromLatin1(name))->setShortcutContext(Qt::WindowShortcut);
}

} // namespace cvg
