// What the edit history costs: bytes it keeps and the time to do, undo and redo one tile
// toggle and one whole-section set-up on square walls of a 2 x 2-item fixture, with
// automatic addressing on (a toggle re-addresses every later tile) and off. The same edit
// without history is the baseline that shows what recording adds.
#include "BenchWalls.h"
#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

// Sums over the iterations, reported as averages.
struct CStepCost {
    double doMs = 0;
    double undoMs = 0;
    double redoMs = 0;
    double bytes = 0;

    template <typename Edit> void Measure(CQuiltmarkDoc& doc, Edit edit)
    {
        const std::size_t before = doc.GetHistory().Bytes();
        auto start = Clock::now();
        edit();
        doMs += MillisecondsSince(start);
        bytes += static_cast<double>(doc.GetHistory().Bytes() - before);
        if (!doc.CanUndo())
            return;
        start = Clock::now();
        doc.Undo();
        undoMs += MillisecondsSince(start);
        start = Clock::now();
        doc.Redo();
        redoMs += MillisecondsSince(start);
    }

    void Report(benchmark::State& state) const
    {
        const auto avg = benchmark::Counter::kAvgIterations;
        state.counters["do_ms"] = benchmark::Counter(doMs, avg);
        state.counters["undo_ms"] = benchmark::Counter(undoMs, avg);
        state.counters["redo_ms"] = benchmark::Counter(redoMs, avg);
        state.counters["kept_KB"] = benchmark::Counter(bytes / 1024.0, avg);
    }
};

// Args: side, automatic addressing, history.
void BM_ToggleUndoRedo(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    CSilentMessages messages;
    CQuiltmarkDoc doc(messages, kBenchLibrary);
    doc.OnNewDocument();
    doc.EnableHistory(state.range(2) != 0);
    CSubDoc& wall = *doc.GetSection(0);
    doc.SetUpSection(wall, WallSetup(doc, side));
    doc.autoAddressing = state.range(1) != 0;
    CStepCost cost;
    bool exclude = true;
    for (auto _ : state) {
        // Near the top left: automatic addressing shifts almost the whole wall.
        cost.Measure(doc, [&] { doc.ExcludeTiles(wall, { { 1, 0 } }, exclude); });
        exclude = !exclude;
    }
    cost.Report(state);
}
BENCHMARK(BM_ToggleUndoRedo)
    ->ArgsProduct({ { 200, 1000, 2000 }, { 0, 1 }, { 0, 1 } })
    ->ArgNames({ "side", "auto", "history" })
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

// Arg: side, history. Sets a 6 x 3 section up as side x side and back.
void BM_SetUpUndoRedo(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    CSilentMessages messages;
    CQuiltmarkDoc doc(messages, kBenchLibrary);
    doc.OnNewDocument();
    doc.EnableHistory(state.range(1) != 0);
    CSubDoc& wall = *doc.GetSection(0);
    CStepCost cost;
    for (auto _ : state) {
        state.PauseTiming();
        doc.SetUpSection(wall, WallSetup(doc, 6));
        state.ResumeTiming();
        cost.Measure(doc, [&] { doc.SetUpSection(wall, WallSetup(doc, side)); });
    }
    cost.Report(state);
}
BENCHMARK(BM_SetUpUndoRedo)
    ->ArgsProduct({ { 200, 1000, 2000 }, { 0, 1 } })
    ->ArgNames({ "side", "history" })
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
