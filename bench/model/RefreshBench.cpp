// The refresh after an edit of a large wall, against the memory floor measured in the same
// run: a loop that writes one 8-byte record per item, the least any refresh that touched every
// item would cost. Square walls of the 2 x 2-item BRAKWELL_TILE_2X2, automatic addressing on,
// the edit history on as in the program, in each walk order. Reports milliseconds, the ratio
// to the floor and the peak resident memory of the benchmark above what the process held
// before it. With the save and load of ProjectBench.cpp, every model figure in one run:
//   model_bench --benchmark_filter='RefreshAfterEdit|Project(Save|Load)'
//       --benchmark_counters_tabular=true
#include "BenchWalls.h"
#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

double ProcStatusMegabytes(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::stod(line.substr(prefix.size())) / 1024.0; // kB
    return 0;
}

// Lets the peak resident size start again from the current one (Linux).
void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The floor: one 8-byte record written per item into a buffer that already exists.
double FloorMilliseconds(std::vector<std::uint64_t>& records)
{
    const auto start = Clock::now();
    std::uint64_t* data = records.data();
    const std::size_t count = records.size();
    for (std::size_t i = 0; i < count; ++i)
        data[i] = i * 0x9E3779B97F4A7C15ull;
    benchmark::ClobberMemory();
    return MillisecondsSince(start);
}

// Args: side, walk order (0 rows, 1 rows in snake, 2 columns, 3 columns in snake: the
// column walks visit the wall across the order the tiles are stored in).
void BM_RefreshAfterEdit(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const int order = static_cast<int>(state.range(1));
    // What earlier cases freed goes back first, or it would count as this case's memory.
    malloc_trim(0);
    const double before = ProcStatusMegabytes("VmRSS");
    ResetPeakMemory();
    CSilentMessages messages;
    CQuiltmarkDoc doc(messages, kBenchLibrary);
    doc.OnNewDocument();
    doc.EnableHistory(true);
    CSubDoc& wall = *doc.GetSection(0);
    CSectionSetup setup = WallSetup(doc, side);
    setup.primary_direction = order / 2;
    setup.check_invert_secondaries = order % 2;
    doc.SetUpSection(wall, setup);
    doc.autoAddressing = true;
    const double project = ProcStatusMegabytes("VmRSS") - before;

    std::vector<std::uint64_t> records(static_cast<std::size_t>(side) * side * 4);
    FloorMilliseconds(records); // the pages exist from here on
    // Medians: the machine is shared, and a median shrugs off a neighbour's burst.
    std::vector<double> floor, toggle, undo, redo, setUp;
    bool exclude = true;
    for (auto _ : state) {
        floor.push_back(FloorMilliseconds(records));
        // Near the top left: automatic addressing shifts almost the whole wall.
        auto start = Clock::now();
        doc.ExcludeTiles(wall, { { 1, 0 } }, exclude);
        toggle.push_back(MillisecondsSince(start));
        exclude = !exclude;
        if (doc.CanUndo()) {
            start = Clock::now();
            doc.Undo();
            undo.push_back(MillisecondsSince(start));
            start = Clock::now();
            doc.Redo();
            redo.push_back(MillisecondsSince(start));
        }
        // Set up again at the same size with another base universe: every tile changes.
        setup.base_universe = setup.base_universe == 0 ? 7 : 0;
        start = Clock::now();
        doc.SetUpSection(wall, setup);
        setUp.push_back(MillisecondsSince(start));
    }
    const double floorMs = Median(floor);
    state.counters["floor_ms"] = floorMs;
    state.counters["toggle_ms"] = Median(toggle);
    state.counters["toggle_x"] = Median(toggle) / floorMs;
    state.counters["setup_ms"] = Median(setUp);
    state.counters["setup_x"] = Median(setUp) / floorMs;
    state.counters["undo_ms"] = Median(undo);
    state.counters["redo_ms"] = Median(redo);
    state.counters["project_MB"] = project;
    // The floor's buffer is not part of the document.
    const double floorMegabytes = static_cast<double>(records.size() * 8) / (1 << 20);
    state.counters["peak_MB"] = ProcStatusMegabytes("VmHWM") - before - floorMegabytes;
}
BENCHMARK(BM_RefreshAfterEdit)
    ->ArgsProduct({ { 200, 1000, 2000 }, { 0, 1, 2, 3 } })
    ->ArgNames({ "side", "order" })
    ->Unit(benchmark::kMillisecond)
    ->Iterations(9);

// The toggle of a 250,000-tile project (8 sections of 250 x 250), history and automatic
// addressing on, with its undo and redo.
void BM_ToggleInLargeProject(benchmark::State& state)
{
    CSilentMessages messages;
    CQuiltmarkDoc doc(messages, kBenchLibrary);
    doc.OnNewDocument();
    for (int s = 0; s < CQuiltmarkDoc::kMaxSections; ++s) {
        CSubDoc* section = s == 0 ? doc.GetSection(0) : doc.AppendSection();
        CSectionSetup setup = WallSetup(doc, 250);
        setup.screen_id = 1 + s * 250000;
        setup.base_universe = s * 200;
        doc.SetUpSection(*section, setup);
    }
    doc.autoAddressing = true;
    CSubDoc& wall = *doc.GetSection(3);
    std::vector<double> toggle, undo, redo;
    bool exclude = true;
    for (auto _ : state) {
        auto start = Clock::now();
        doc.ExcludeTiles(wall, { { 1, 0 } }, exclude);
        toggle.push_back(MillisecondsSince(start));
        exclude = !exclude;
        start = Clock::now();
        doc.Undo();
        undo.push_back(MillisecondsSince(start));
        start = Clock::now();
        doc.Redo();
        redo.push_back(MillisecondsSince(start));
    }
    state.counters["toggle_ms"] = Median(toggle);
    state.counters["undo_ms"] = Median(undo);
    state.counters["redo_ms"] = Median(redo);
}
BENCHMARK(BM_ToggleInLargeProject)->Unit(benchmark::kMillisecond)->Iterations(9);

} // namespace
