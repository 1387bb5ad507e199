#pragma once

#include "worksheet/Point.h"

#include <QString>
#include <vector>

namespace cvg {

// The internal clipboard of cut/copy/paste and the paste item's caption and
// enabled state (the window shows them as they are here). The undo and redo
// steps are the document's History.
struct UndoState {
    std::vector<Point> clipPoints;
    QString pasteCaption = QStringLiteral("貼り付け(&P) ");
    bool pasteEnabled = false;
};

} // namespace cvg
