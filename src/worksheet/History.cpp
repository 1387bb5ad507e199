#include "worksheet/History.h"

#include "calibration/CorrectDistortion.h"
#include "image/Magnify.h"
#include "worksheet/Document.h"

#include <QSet>
#include <algorithm>
#include <new>
#include <numeric>

namespace cvg {

namespace {

bool validPage(const Document& doc, int page)
{
    return page >= 0 && page < doc.sheets.pageCount();
}

// Rows pos .. pos + count - 1 of a page and the points kept aside trade
// places: undo and redo are the same move. A page that no longer matches
// (only possible when something outside the history changed it) is left alone.
class RowsPart final : public ChangePart {
public:
    RowsPart(int page, int pos, int count, std::vector<Point> held)
        : page_(page), pos_(size_t(pos)), count_(size_t(count)), held_(std::move(held))
    {
    }
    void undo(Document& doc) override { swap(doc); }
    void redo(Document& doc) override { swap(doc); }
    qint64 heldBytes() const override { return qint64(held_.capacity() * sizeof(Point)); }

    bool sameRows(const RowsPart& other) const
    {
        return page_ == other.page_ && pos_ == other.pos_ && count_ == other.count_
            && held_.size() == other.held_.size();
    }

    void swap(Document& doc)
    {
        if (!validPage(doc, page_))
            return;
        std::vector<Point>& points = doc.sheets.page(page_).points;
        const size_t n = held_.size();
        if (pos_ > points.size() || count_ > points.size() - pos_ || points.size() - count_ + n > size_t(kMaxPoints))
            return;
        const auto at = points.begin() + qsizetype(pos_);
        std::vector<Point> out(at, at + qsizetype(count_));
        // At most one shift of the rows after the range.
        if (n >= count_) {
            std::copy(held_.begin(), held_.begin() + qsizetype(count_), at);
            points.insert(at + qsizetype(count_), held_.begin() + qsizetype(count_), held_.end());
        } else {
            std::copy(held_.begin(), held_.end(), at);
            points.erase(at + qsizetype(n), at + qsizetype(count_));
        }
        count_ = n;
        held_ = std::move(out);
    }

private:
    int page_;
    size_t pos_;
    size_t count_; // rows of this part on the page now
    std::vector<Point> held_;
};

// A reordering of rows lo .. lo + order.size() - 1: after the step, row lo + i
// holds what row lo + order[i] held before. Four bytes a moved row.
class PermutePart final : public ChangePart {
public:
    PermutePart(int page, size_t lo, std::vector<uint32_t> order) : page_(page), lo_(lo), order_(std::move(order)) {}
    void redo(Document& doc) override
    {
        std::vector<Point>* points = rows(doc);
        if (!points)
            return;
        const std::vector<Point> before(points->begin() + qsizetype(lo_), points->begin() + qsizetype(lo_ + order_.size()));
        for (size_t i = 0; i < order_.size(); ++i)
            (*points)[lo_ + i] = before[order_[i]];
    }
    void undo(Document& doc) override
    {
        std::vector<Point>* points = rows(doc);
        if (!points)
            return;
        const std::vector<Point> after(points->begin() + qsizetype(lo_), points->begin() + qsizetype(lo_ + order_.size()));
        for (size_t i = 0; i < order_.size(); ++i)
            (*points)[lo_ + order_[i]] = after[i];
    }
    qint64 heldBytes() const override { return qint64(order_.capacity() * sizeof(uint32_t)); }

private:
    std::vector<Point>* rows(Document& doc) const
    {
        if (!validPage(doc, page_))
            return nullptr;
        std::vector<Point>& points = doc.sheets.page(page_).points;
        return lo_ + order_.size() <= points.size() ? &points : nullptr;
    }
    int page_;
    size_t lo_;
    std::vector<uint32_t> order_;
};

// A whole page leaves the list or comes back at its index: added pages are
// kept here while undone, removed ones while done.
class PagePart final : public ChangePart {
public:
    PagePart(int index, std::optional<WorksheetPage> held) : index_(index), held_(std::move(held)) {}
    void undo(Document& doc) override { swap(doc); }
    void redo(Document& doc) override { swap(doc); }
    qint64 heldBytes() const override
    {
        return held_ ? qint64(held_->points.capacity() * sizeof(Point)) : 0;
    }

private:
    void swap(Document& doc)
    {
        if (held_) {
            doc.sheets.insertPage(index_, std::move(*held_));
            held_.reset();
        } else if (validPage(doc, index_) && doc.sheets.pageCount() > 1) {
            held_ = doc.sheets.takePage(index_);
        }
    }
    int index_;
    std::optional<WorksheetPage> held_;
};

// A page inserted after page c: the captions and points behind it moved one
// page on. Undone by moving them back and dropping the last page, redone by
// inserting again (the page number that comes back is the same, as the same
// numbers are taken).
class InsertPagePart final : public ChangePart {
public:
    explicit InsertPagePart(int c) : c_(c) {}
    void redo(Document& doc) override { doc.sheets.InsertSheetPage(c_); }
    void undo(Document& doc) override
    {
        Worksheets& sheets = doc.sheets;
        const int last = sheets.pageCount() - 1;
        if (c_ < 0 || c_ + 1 > last)
            return;
        for (int k = c_ + 1; k < last; ++k) {
            sheets.page(k).caption = sheets.page(k + 1).caption;
            sheets.page(k).points = std::move(sheets.page(k + 1).points);
            sheets.page(k + 1).points.clear();
        }
        sheets.takePage(last);
    }

private:
    int c_;
};

class CaptionPart final : public ChangePart {
public:
    CaptionPart(int page, QString held) : page_(page), held_(std::move(held)) {}
    void undo(Document& doc) override { swap(doc); }
    void redo(Document& doc) override { swap(doc); }
    qint64 heldBytes() const override { return qint64(held_.size()) * 2; }

private:
    void swap(Document& doc)
    {
        if (validPage(doc, page_))
            std::swap(doc.sheets.page(page_).caption, held_);
    }
    int page_;
    QString held_;
};

// The whole calibration record (a few hundred bytes).
class CalibrationPart final : public ChangePart {
public:
    explicit CalibrationPart(const Calibration& held) : held_(held) {}
    void undo(Document& doc) override { std::swap(doc.calibration, held_); }
    void redo(Document& doc) override { std::swap(doc.calibration, held_); }
    bool touchesCorrection() const override { return true; }

private:
    Calibration held_;
};

// An adopted resize. Undone, the picture before it is working again (it is
// the unresized one meanwhile) and the pictures and record before it come
// back; the resized picture is not kept but made again from the same
// picture and size, as nearest-neighbour stretching always gives the same.
class AdoptResizePart final : public ChangePart {
public:
    AdoptResizePart(const Document& doc, QSize size)
        : unresized_(doc.images.unresizedImage)
        , corrected_(doc.images.correctedImage)
        , record_(doc.resize)
        , size_(size)
    {
    }
    void undo(Document& doc) override
    {
        doc.images.workingImage = doc.images.unresizedImage;
        doc.images.unresizedImage = unresized_;
        doc.images.correctedImage = corrected_;
        doc.resize = record_;
    }
    void redo(Document& doc) override
    {
        const QImage picture = resizedPicture(doc.images.workingImage, size_.width(), size_.height());
        if (picture.isNull())
            throw std::bad_alloc();
        unresized_ = doc.images.unresizedImage;
        corrected_ = doc.images.correctedImage;
        record_ = doc.resize;
        AdoptResize(doc.images, doc.resize, picture);
    }
    void heldPictures(std::vector<QImage>& out) const override
    {
        out.push_back(unresized_);
        out.push_back(corrected_);
    }
    bool touchesCorrection() const override { return true; }

private:
    QImage unresized_;
    QImage corrected_;
    ResizeRecord record_;
    QSize size_;
};

// The magnification dialog's own undo of the last resize: the working picture
// it dropped is the unresized one stretched to the record's size, so it is
// made again rather than kept.
class UndoResizePart final : public ChangePart {
public:
    explicit UndoResizePart(const ResizeRecord& record) : record_(record) {}
    void redo(Document& doc) override { UndoResize(doc.images, doc.resize); }
    void undo(Document& doc) override
    {
        const QImage picture = resizedPicture(doc.images.unresizedImage, record_.width, record_.height);
        if (picture.isNull())
            throw std::bad_alloc();
        doc.images.workingImage = picture;
        doc.resize = record_;
    }
    bool touchesCorrection() const override { return true; }

private:
    ResizeRecord record_;
};

} // namespace

// ---- steps ------------------------------------------------------------------------------

HistoryStep::HistoryStep(const Document& doc, QString label)
    : label_(std::move(label)), currentBefore_(doc.sheets.currentIndex()), currentAfter_(currentBefore_)
{
}

HistoryStep::HistoryStep(HistoryStep&&) noexcept = default;
HistoryStep& HistoryStep::operator=(HistoryStep&&) noexcept = default;
HistoryStep::~HistoryStep() = default;

void HistoryStep::add(std::unique_ptr<ChangePart> part)
{
    parts_.push_back(std::move(part));
}

bool HistoryStep::replaceRows(Document& doc, int page, int pos, int count, std::vector<Point> points)
{
    if (!validPage(doc, page) || pos < 0 || count < 0)
        return false;
    const size_t size = doc.sheets.page(page).points.size();
    if (size_t(pos) > size || size_t(count) > size - size_t(pos)
        || size - size_t(count) + points.size() > size_t(kMaxPoints))
        return false;
    auto part = std::make_unique<RowsPart>(page, pos, count, std::move(points));
    part->swap(doc);
    add(std::move(part));
    return true;
}

void HistoryStep::rowsReplacedDone(int page, int pos, int countNow, std::vector<Point> removed)
{
    add(std::make_unique<RowsPart>(page, pos, countNow, std::move(removed)));
}

int HistoryStep::sortPage(Document& doc, int page, int follow)
{
    if (!validPage(doc, page))
        return follow;
    std::vector<Point>& points = doc.sheets.page(page).points;
    // Sorting the rows' numbers beside the points gives the same order as
    // SortByX (stable: equal points keep their order) and the way back.
    std::vector<std::pair<Point, uint32_t>> keyed(points.size());
    for (size_t i = 0; i < points.size(); ++i)
        keyed[i] = {points[i], uint32_t(i)};
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        return PointBeforeByX(a.first, b.first);
    });
    size_t lo = 0;
    while (lo < keyed.size() && keyed[lo].second == lo)
        ++lo;
    size_t hi = keyed.size();
    while (hi > lo && keyed[hi - 1].second == hi - 1)
        --hi;
    if (lo == hi)
        return follow;
    std::vector<uint32_t> order(hi - lo);
    int moved = follow;
    for (size_t i = lo; i < hi; ++i) {
        points[i] = keyed[i].first;
        order[i - lo] = keyed[i].second - uint32_t(lo);
        if (follow >= 0 && keyed[i].second == uint32_t(follow))
            moved = int(i);
    }
    add(std::make_unique<PermutePart>(page, lo, std::move(order)));
    return moved;
}

void HistoryStep::pageAddedDone(int index)
{
    add(std::make_unique<PagePart>(index, std::nullopt));
}

bool HistoryStep::insertPage(Document& doc, int c)
{
    if (!doc.sheets.InsertSheetPage(c))
        return false;
    add(std::make_unique<InsertPagePart>(c));
    return true;
}

bool HistoryStep::removePage(Document& doc, int index)
{
    if (doc.sheets.pageCount() <= 1 || !validPage(doc, index))
        return false;
    auto part = std::make_unique<PagePart>(index, std::nullopt);
    part->redo(doc);
    // The page that followed becomes current, or the first one.
    doc.sheets.setCurrentIndex(index < doc.sheets.pageCount() ? index : 0);
    add(std::move(part));
    return true;
}

void HistoryStep::setCaption(Document& doc, int page, const QString& caption)
{
    if (!validPage(doc, page) || doc.sheets.page(page).caption == caption)
        return;
    auto part = std::make_unique<CaptionPart>(page, caption);
    part->redo(doc);
    add(std::move(part));
}

void HistoryStep::calibrationChangedDone(const Calibration& before)
{
    add(std::make_unique<CalibrationPart>(before));
}

void HistoryStep::adoptResize(Document& doc, const QImage& picture)
{
    auto part = std::make_unique<AdoptResizePart>(doc, picture.size());
    AdoptResize(doc.images, doc.resize, picture);
    add(std::move(part));
}

bool HistoryStep::undoResize(Document& doc)
{
    const ResizeRecord record = doc.resize;
    if (!UndoResize(doc.images, doc.resize))
        return false;
    add(std::make_unique<UndoResizePart>(record));
    return true;
}

void HistoryStep::undo(Document& doc)
{
    for (auto part = parts_.rbegin(); part != parts_.rend(); ++part)
        (*part)->undo(doc);
    doc.sheets.setCurrentIndex(currentBefore_);
}

void HistoryStep::redo(Document& doc)
{
    for (auto& part : parts_)
        part->redo(doc);
    doc.sheets.setCurrentIndex(currentAfter_);
}

bool HistoryStep::touchesCorrection() const
{
    return std::any_of(parts_.begin(), parts_.end(), [](const auto& p) { return p->touchesCorrection(); });
}

// ---- history ----------------------------------------------------------------------------

History::History() = default;
History::History(History&&) noexcept = default;
History& History::operator=(History&&) noexcept = default;
History::~History() = default;

void History::clear(const Document& doc)
{
    steps_.clear();
    index_ = 0;
    clean_ = 0;
    stamp_ = {};
    noteCorrection(doc);
}

void History::push(Document& doc, HistoryStep step)
{
    if (step.isEmpty())
        return;
    step.currentAfter_ = doc.sheets.currentIndex();
    if (index_ < steps_.size()) {
        steps_.erase(steps_.begin() + qsizetype(index_), steps_.end());
        if (clean_ && *clean_ > index_)
            clean_.reset();
    }
    const bool touches = step.touchesCorrection();
    HistoryStep* top = index_ > 0 ? &steps_[index_ - 1] : nullptr;
    // A saved state in between keeps the steps apart, so that undo reaches it.
    if (top && !top->sealed_ && !step.mergeKey_.isEmpty() && top->mergeKey_ == step.mergeKey_
        && !(clean_ && *clean_ == index_)) {
        // The newest step only repeats what the top one changes: the top
        // keeps the state before both, the document holds the state after.
        top->currentAfter_ = step.currentAfter_;
        top->label_ = step.label_;
    } else {
        steps_.push_back(std::move(step));
        index_ = steps_.size();
    }
    if (touches)
        noteCorrection(doc);
    trim(doc);
}

bool History::undo(Document& doc, Progress& progress, Dialogs& dialogs)
{
    if (!canUndo())
        return false;
    HistoryStep& step = steps_[index_ - 1];
    step.undo(doc);
    --index_;
    if (step.touchesCorrection())
        ensureCorrected(doc, progress, dialogs);
    return true;
}

bool History::redo(Document& doc, Progress& progress, Dialogs& dialogs)
{
    if (!canRedo())
        return false;
    HistoryStep& step = steps_[index_];
    step.redo(doc);
    ++index_;
    if (step.touchesCorrection())
        ensureCorrected(doc, progress, dialogs);
    return true;
}

QString History::undoLabel() const
{
    return canUndo() ? steps_[index_ - 1].label_ : QString();
}

QString History::redoLabel() const
{
    return canRedo() ? steps_[index_].label_ : QString();
}

void History::setClean()
{
    clean_ = index_;
    seal();
}

void History::markUnsaved()
{
    clean_.reset();
}

void History::seal()
{
    if (index_ > 0)
        steps_[index_ - 1].sealed_ = true;
}

qint64 History::heldBytes(const Document& doc) const
{
    qint64 bytes = 0;
    std::vector<QImage> pictures;
    for (const HistoryStep& step : steps_)
        for (const auto& part : step.parts_) {
            bytes += part->heldBytes();
            part->heldPictures(pictures);
        }
    // A picture counts once, and not at all while the document holds it too.
    QSet<qint64> counted;
    for (const QImage* shown : {&doc.images.workingImage, &doc.images.unresizedImage, &doc.images.correctedImage,
                                &doc.images.overviewImage})
        counted.insert(shown->cacheKey());
    for (const QImage& picture : pictures)
        if (!picture.isNull() && !counted.contains(picture.cacheKey())) {
            counted.insert(picture.cacheKey());
            bytes += picture.sizeInBytes();
        }
    return bytes;
}

void History::trim(const Document& doc)
{
    while (index_ > 1 && (steps_.size() > size_t(kMaxSteps) || heldBytes(doc) > kMaxHeldBytes)) {
        steps_.erase(steps_.begin());
        --index_;
        if (clean_) {
            if (*clean_ == 0)
                clean_.reset(); // the saved state cannot be reached any more
            else
                --*clean_;
        }
    }
}

void History::noteCorrection(const Document& doc)
{
    stamp_ = {};
    if (!doc.calibration.Converted)
        return;
    stamp_.working = doc.images.workingImage.cacheKey();
    stamp_.corrected = doc.images.correctedImage.cacheKey();
    stamp_.points = doc.calibration.SourcePoints;
    stamp_.valid = true;
}

void History::ensureCorrected(Document& doc, Progress& progress, Dialogs& dialogs)
{
    if (!doc.calibration.Converted)
        return;
    auto samePlaces = [](const std::array<ReferencePoint, 4>& a, const std::array<ReferencePoint, 4>& b) {
        for (size_t i = 0; i < 4; ++i)
            if (a[i].x != b[i].x || a[i].y != b[i].y)
                return false;
        return true;
    };
    if (stamp_.valid && stamp_.working == doc.images.workingImage.cacheKey()
        && stamp_.corrected == doc.images.correctedImage.cacheKey()
        && samePlaces(stamp_.points, doc.calibration.SourcePoints))
        return;
    // The correction depends on nothing but the working picture and the
    // reference points, so the picture made again is the one that was shown.
    if (CorrectDistortion(doc.images.workingImage, doc.calibration, doc.images.correctedImage, progress, dialogs))
        noteCorrection(doc);
}

} // namespace cvg
