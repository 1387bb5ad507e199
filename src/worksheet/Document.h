#pragma once

#include "calibration/Calibration.h"
#include "image/ImageSet.h"
#include "worksheet/DocumentState.h"
#include "worksheet/DocumentHeader.h"
#include "worksheet/History.h"
#include "worksheet/UndoState.h"
#include "worksheet/Worksheets.h"

namespace cvg {

// Everything one document holds. The main window owns one for the whole run;
// the command-line tool makes its own.
struct Document {
    ImageSet images;
    ResizeRecord resize;
    Calibration calibration;
    DocumentHeader header = DocumentHeader::fresh();
    Worksheets sheets;
    UndoState undo;
    History history;
    DocumentState state;
    DocumentFileName fileName;

    // Back to a new document's values (pictures empty, one page "Page0", no
    // undo steps).
    void reset();
};

} // namespace cvg
