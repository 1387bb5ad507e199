#pragma once

#include "worksheet/Point.h"

#include <QString>
#include <vector>

namespace cvg {

// One step of undo and redo over the current page's whole point list, the
// internal clipboard of cut/copy/paste, and the texts and enabled states of
// the undo, redo and paste commands (the windows show them as they are here).
struct UndoState {
    std::vector<Point> undoPoints;
    std::vector<Point> redoPoints;
    std::vector<Point> clipPoints;
    QString undoLabel;

    QString undoCaption = QStringLiteral("元に戻す(&U)");
    bool undoEnabled = false;
    QString redoCaption = QStringLiteral("元に戻すを取消す(&W)");
    bool redoEnabled = false;
    QString pasteCaption = QStringLiteral("貼り付け(&P) ");
    bool pasteEnabled = false;
};

// Both commands back to their reset captions and disabled; the clipboard stays.
inline void ResetUndo(UndoState& u)
{
    u.undoCaption = QStringLiteral("元に戻す(&U)");
    u.redoCaption = QStringLiteral("元に戻すを取消す(&W)");
    u.undoEnabled = false;
    u.redoEnabled = false;
}

} // namespace cvg
