#pragma once

#include "worksheet/History.h"
#include "worksheet/UndoState.h"
#include "worksheet/Worksheets.h"

#include <QString>

namespace cvg {

class Dialogs;
class Progress;
struct Document;

// What the window has to do after an editing command. The paste item's
// caption and enabled state are in Document::undo, the undo and redo
// commands' in Document::history (UndoCaption, RedoCaption).
struct EditResult {
    bool redraw = false; // RedrawPointMarkers
    bool modified = false; // MarkModified
    bool captionChanged = false; // the current page's caption changed: tab and sheet list
    bool uncheckDigitize = false; // uncheck DoDataCovert
    // Undo or redo: pages, captions, the calibration and the pictures may
    // all have changed, and another page may be current.
    bool restored = false;
};

// The edit menu's item captions, which also serve as the undo labels.
inline const QString kCutCaption = QStringLiteral("カット(&X)");
inline const QString kClearAllDataCaption = QStringLiteral("全て削除(&D)");
inline const QString kSortSheetDataCaption = QStringLiteral("昇順でソート(&S)");

// " [ start..end ]", the row range as the captions show it.
QString RangeText(int selectionStart, int selectionEnd);

// The captions of the undo and redo commands: the bare caption while the
// history is empty, else the caption, a blank and the label of the step
// they would undo or redo (none when there is nothing to undo or redo).
QString UndoCaption(const History& history);
QString RedoCaption(const History& history);

// The commands on the current page and the row range
// selectionStart..selectionEnd of doc.sheets. Each shows its own warnings;
// a command that changes the page is one step of the history.
EditResult DataCut(Document& doc, Dialogs& dialogs);
EditResult DataCopy(Document& doc, Dialogs& dialogs);
EditResult DataPaste(Document& doc, Dialogs& dialogs);
EditResult DataAllDelete(Document& doc, Dialogs& dialogs);
EditResult DataSort(Document& doc, Dialogs& dialogs);
// One step back or forward through the history; nothing when there is none.
// The progress and dialogs serve a corrected picture made again.
EditResult DataUndo(Document& doc, Progress& progress, Dialogs& dialogs);
EditResult DataRedo(Document& doc, Progress& progress, Dialogs& dialogs);

// The operations the commands are made of.
// Rows a..b in either order, 1-based. False (after the failure message) when
// the range lies outside the page's points; the clipboard is then empty.
bool CopyRange(const Worksheets& sheets, UndoState& undo, int a, int b, Dialogs& dialogs);
// The same rows go to the clipboard and leave the page, as part of step.
bool DeleteRange(Document& doc, HistoryStep& step, int a, int b, Dialogs& dialogs);
// Inserts the clipboard before row s (s = PointCount + 1 appends). Refused
// when s is outside 1..PointCount + 1 or the page would exceed kMaxPoints.
bool InsertClip(Document& doc, HistoryStep& step, int s, Dialogs& dialogs);
// Empties the current page; the only page of a document is named "Page0" again.
// True when the caption changed.
bool ClearSheet(Document& doc, HistoryStep& step);

} // namespace cvg
