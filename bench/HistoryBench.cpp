// Undo and redo on a full page of 1,000,000 points, and the memory the
// history keeps after 100 changes of such a page.
#include "BenchFloor.h"
#include "platform/HeadlessDialogs.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentChanges.h"
#include "worksheet/EditCommands.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// A calibrated document whose only page holds kMaxPoints - 100 points
// (room for the points the changes add) in full sorted order, X then Y, so
// that a click lands in place and a sort moves only what was disturbed.
void fillDocument(cvg::Document& doc)
{
    doc.reset();
    doc.state.pictureLoaded = true;
    doc.calibration.Converted = true;
    std::vector<cvg::Point>& points = doc.sheets.currentPage().points;
    points.resize(size_t(cvg::kMaxPoints) - 100);
    for (size_t i = 0; i < points.size(); ++i)
        points[i] = {int32_t(i / 100), int32_t(5000 + ((i / 100) * 7919) % 2900 + i % 100)};
    doc.history.clear(doc);
}

// The changes measured, each on a random row of the page.
enum Change { kCutRows, kMovePoint, kDigitizePoint, kSortBlock };

void makeChange(cvg::Document& doc, Change change, std::mt19937& random)
{
    cvg::HeadlessDialogs quiet;
    std::vector<cvg::Point>& points = doc.sheets.currentPage().points;
    const int count = int(points.size());
    const int row = 1 + int(random() % unsigned(count - 200));
    switch (change) {
    case kCutRows: // ten rows cut from the grid
        doc.sheets.selectionStart = row;
        doc.sheets.selectionEnd = row + 9;
        cvg::DataCut(doc, quiet);
        break;
    case kMovePoint: // a point moved up by a drag, ended
        cvg::MovePoint(doc, row, {points[size_t(row) - 1].X, points[size_t(row) - 1].Y + 3});
        doc.history.seal();
        break;
    case kDigitizePoint: // a click between two points, which lands in X order
        cvg::DigitizePoint(doc, {points[size_t(row) - 1].X, 1});
        break;
    case kSortBlock: // rows of three columns put out of order (as drags may leave them), sorted again
        std::reverse(points.begin() + (row - 1), points.begin() + (row + 199));
        doc.history.markUnsaved();
        cvg::DataSort(doc, quiet);
        break;
    }
}

// One change made, then undone and redone in each iteration. The floor is
// what a history of page copies would at least pay: one copy of the page.
void BM_UndoRedoOnMillionPointPage(benchmark::State& state)
{
    const auto change = Change(state.range(0));
    cvg::Document doc;
    fillDocument(doc);
    std::mt19937 random(3);
    makeChange(doc, change, random);
    if (doc.history.count() != 1) {
        state.SkipWithError("the change made no step");
        return;
    }
    cvg::NullProgress progress;
    cvg::HeadlessDialogs dialogs;
    std::vector<cvg::Point> copy;
    copy.reserve(size_t(cvg::kMaxPoints));
    const std::vector<cvg::Point>& page = doc.sheets.page(0).points;
    timeAgainstFloor(
        state,
        [&] {
            doc.history.undo(doc, progress, dialogs);
            doc.history.redo(doc, progress, dialogs);
            benchmark::DoNotOptimize(doc.sheets.page(0).points.data());
        },
        [&] {
            copy.assign(page.begin(), page.end());
            benchmark::DoNotOptimize(copy.data());
        });
    state.counters["held_bytes"] = double(doc.history.heldBytes(doc));
}
BENCHMARK(BM_UndoRedoOnMillionPointPage)
    ->ArgName("change")
    ->DenseRange(kCutRows, kSortBlock)
    // The floor's page copy runs in every iteration but is not counted, so
    // a count fixed here keeps microsecond steps from running for minutes.
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime();

// 100 changes of one kind at random rows: the time to make them and the
// bytes the history keeps (page_bytes, one copy of the page, for scale).
void BM_HundredChangesHeld(benchmark::State& state)
{
    const auto change = Change(state.range(0));
    cvg::Document doc;
    qint64 held = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fillDocument(doc);
        std::mt19937 random(5);
        state.ResumeTiming();
        for (int i = 0; i < 100; ++i)
            makeChange(doc, change, random);
        state.PauseTiming();
        if (doc.history.count() != 100) {
            state.SkipWithError("a change made no step");
            return;
        }
        held = doc.history.heldBytes(doc);
        state.ResumeTiming();
    }
    state.counters["held_bytes"] = double(held);
    state.counters["page_bytes"] = double(doc.sheets.page(0).points.size() * sizeof(cvg::Point));
}
BENCHMARK(BM_HundredChangesHeld)
    ->ArgName("change")
    ->DenseRange(kCutRows, kSortBlock)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
