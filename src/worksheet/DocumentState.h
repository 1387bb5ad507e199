#pragma once

#include <QString>

namespace cvg {

struct DocumentState {
    bool pictureLoaded = false;
    bool modified = false;
    bool openedOutsideDialog = false;
    bool firstActivation = false;
    QString overwritePath; // what "上書保存(&O)" writes; empty for a new document
};

// The file the document was last opened from or saved to.
struct DocumentFileName {
    QString folder;    // up to and including the last path delimiter
    QString fileName;  // name with extension
    QString stem;      // name without extension
    QString extension; // with its leading dot, or empty

    void setFromPath(const QString& fullPath);
    void clear() { *this = DocumentFileName{}; }
};

// The extension of a path as the program compares it: from the last "." of
// the file name on (case kept), or empty.
QString extensionOf(const QString& path);

} // namespace cvg
