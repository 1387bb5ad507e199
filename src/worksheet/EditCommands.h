#pragma once

#include "worksheet/UndoState.h"
#include "worksheet/Worksheets.h"

#include <QString>

namespace cvg {

class Dialogs;
struct Document;

// What the window has to do after an editing command. The captions and
// enabled states of undo, redo and paste are in Document::undo.
struct EditResult {
    bool redraw = false; // RedrawPointMarkers
    bool modified = false; // MarkModified
    bool captionChanged = false; // the current page's caption changed: tab and sheet list
    bool uncheckDigitize = false; // uncheck DoDataCovert
};

// The edit menu's item captions, which also serve as the undo labels.
inline const QString kCutCaption = QStringLiteral("カット(&X)");
inline const QString kClearAllDataCaption = QStringLiteral("全て削除(&D)");
inline const QString kSortSheetDataCaption = QStringLiteral("昇順でソート(&S)");

// " [ start..end ]", the row range as the captions show it.
QString RangeText(int selectionStart, int selectionEnd);

// The commands on the current page and the row range
// selectionStart..selectionEnd of doc.sheets. Each shows its own warnings.
EditResult DataCut(Document& doc, Dialogs& dialogs);
EditResult DataCopy(Document& doc, Dialogs& dialogs);
EditResult DataPaste(Document& doc, Dialogs& dialogs);
EditResult DataAllDelete(Document& doc, Dialogs& dialogs);
EditResult DataSort(Document& doc, Dialogs& dialogs);
// Do nothing while their command is disabled.
EditResult DataUndo(Document& doc);
EditResult DataRedo(Document& doc);

// The operations the commands are made of.
void TakeUndoSnapshot(const Worksheets& sheets, UndoState& undo);
// Rows a..b in either order, 1-based. False (after the failure message) when
// the range lies outside the page's points; the clipboard is then empty.
bool CopyRange(const Worksheets& sheets, UndoState& undo, int a, int b, Dialogs& dialogs);
bool DeleteRange(Worksheets& sheets, UndoState& undo, int a, int b, Dialogs& dialogs);
// Inserts the clipboard before row s (s = PointCount + 1 appends). Refused
// when s is outside 1..PointCount + 1 or the page would exceed kMaxPoints.
bool InsertClip(Worksheets& sheets, UndoState& undo, int s, Dialogs& dialogs);
// Empties the current page; the only page of a document is named "Page0" again.
// True when the caption changed.
bool ClearSheet(Worksheets& sheets, UndoState& undo);
void SwapForUndo(Worksheets& sheets, UndoState& undo);
void SwapForRedo(Worksheets& sheets, UndoState& undo);

} // namespace cvg
