#pragma once

#include "calibration/Calibration.h"
#include "worksheet/Point.h"

#include <QImage>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace cvg {

class Dialogs;
class Progress;
struct Document;

// One piece of a step. Each piece switches the document between its state
// before the step and its state after it, and keeps only what the document
// lacks in the state it is in: a cut keeps the points it took out while it
// is done, and the points it gives back while it is undone; never a copy of
// what the page still holds.
class ChangePart {
public:
    virtual ~ChangePart() = default;
    virtual void undo(Document& doc) = 0;
    virtual void redo(Document& doc) = 0;
    // Bytes of points and captions kept apart from the document.
    virtual qint64 heldBytes() const { return 0; }
    // Pictures kept; one shared with the document or another step costs nothing more.
    virtual void heldPictures(std::vector<QImage>& out) const { Q_UNUSED(out); }
    // Changes the calibration or the pictures that the corrected picture is made from.
    virtual bool touchesCorrection() const { return false; }
};

// What the user did at once, with the text the undo and redo commands name
// it by. The operations change the document and record how to go back; the
// ones named "...Done" record a change the caller has already made.
class HistoryStep {
public:
    HistoryStep(const Document& doc, QString label);
    HistoryStep(HistoryStep&&) noexcept;
    HistoryStep& operator=(HistoryStep&&) noexcept;
    ~HistoryStep();

    const QString& label() const { return label_; }
    void setLabel(const QString& label) { label_ = label; }
    // Steps with the same key merge into one while nothing comes between
    // them (the moves of one drag, the keys typed into one field). Empty:
    // never merged.
    void setMergeKey(const QString& key) { mergeKey_ = key; }
    // The page that undoing the step makes current (by default the one
    // current when the step was made).
    void setCurrentBefore(int index) { currentBefore_ = index; }
    bool isEmpty() const { return parts_.empty(); }

    // Rows pos .. pos + count - 1 (0-based) of page `page` become `points`.
    // False, with nothing changed, when the rows are not on the page or the
    // page would grow beyond kMaxPoints.
    bool replaceRows(Document& doc, int page, int pos, int count, std::vector<Point> points);
    // Done: rows pos .. pos + countNow - 1 of the page are new; `removed`
    // is what stood there before.
    void rowsReplacedDone(int page, int pos, int countNow, std::vector<Point> removed);
    // Orders the page as SortByX does. Returns where the row `follow`
    // (0-based) stands afterwards; nothing is recorded when no point moves.
    int sortPage(Document& doc, int page, int follow = -1);
    // Done: the page at index was added (with what it holds).
    void pageAddedDone(int index);
    // A new empty page after page c, as Worksheets::InsertSheetPage.
    bool insertPage(Document& doc, int c);
    // Removes page index; the page that followed, or the first, becomes current.
    bool removePage(Document& doc, int index);
    void setCaption(Document& doc, int page, const QString& caption);
    // Done: the calibration changed; `before` is what it was.
    void calibrationChangedDone(const Calibration& before);
    // The magnification's adopt of a resized picture, and its own undo of
    // the last adopted resize (false when none is in force).
    void adoptResize(Document& doc, const QImage& picture);
    bool undoResize(Document& doc);

private:
    friend class History;
    void undo(Document& doc);
    void redo(Document& doc);
    bool touchesCorrection() const;
    void add(std::unique_ptr<ChangePart> part);

    QString label_;
    QString mergeKey_;
    int currentBefore_ = 0;
    int currentAfter_ = 0;
    bool sealed_ = false;
    std::vector<std::unique_ptr<ChangePart>> parts_;
};

// The document's undo history: the steps done (undo goes back through them)
// and the steps undone (redo brings them back), newest last. A new step drops
// the undone ones. The oldest steps go when there are more than kMaxSteps, or
// when the steps keep more than kMaxHeldBytes of points and pictures apart
// from the document (the newest step always stays).
class History {
public:
    static constexpr int kMaxSteps = 1000;
    static constexpr qint64 kMaxHeldBytes = qint64(1536) << 20;

    History();
    History(History&&) noexcept;
    History& operator=(History&&) noexcept;
    ~History();

    // No steps; the document as it is counts as saved.
    void clear(const Document& doc);
    // Adds a step that has been done (nothing for an empty one).
    void push(Document& doc, HistoryStep step);
    // False when there is nothing to undo or redo. The corrected picture is
    // made again when a converted calibration comes back without it.
    bool undo(Document& doc, Progress& progress, Dialogs& dialogs);
    bool redo(Document& doc, Progress& progress, Dialogs& dialogs);

    bool isEmpty() const { return steps_.empty(); }
    bool canUndo() const { return index_ > 0; }
    bool canRedo() const { return index_ < steps_.size(); }
    int count() const { return int(steps_.size()); }
    int index() const { return int(index_); }
    QString undoLabel() const;
    QString redoLabel() const;

    // The document as it is now was saved.
    void setClean();
    // The document differs from every saved state (a change outside the history).
    void markUnsaved();
    bool isClean() const { return clean_ && *clean_ == index_; }
    // The newest step takes no further step into itself.
    void seal();
    qint64 heldBytes(const Document& doc) const;

private:
    void trim(const Document& doc);
    void noteCorrection(const Document& doc);
    void ensureCorrected(Document& doc, Progress& progress, Dialogs& dialogs);

    std::vector<HistoryStep> steps_;
    size_t index_ = 0; // steps_[0 .. index_) are done
    std::optional<size_t> clean_ = size_t(0);
    // What the corrected picture was last made from, so that a converted
    // calibration brought back by undo or redo finds out whether it still fits.
    struct CorrectionStamp {
        qint64 working = 0;
        qint64 corrected = 0;
        std::array<ReferencePoint, 4> points{};
        bool valid = false;
    } stamp_;
};

} // namespace cvg
