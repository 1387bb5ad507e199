#include "worksheet/Document.h"

namespace cvg {

void Document::reset()
{
    FreeImageSet(images);
    InitImageSet(images);
    resize = ResizeRecord{};
    calibration = Calibration{};
    header = DocumentHeader::fresh();
    sheets.ResetSheets();
    undo = UndoState{};
    const bool firstActivation = state.firstActivation;
    state = DocumentState{};
    state.firstActivation = firstActivation;
    fileName.clear();
    history.clear(*this);
}

} // namespace cvg
