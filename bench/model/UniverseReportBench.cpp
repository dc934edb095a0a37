// The universe report and the console CSV of a square wall of the 2 x 2-item tile. The
// second variant lays a copy of the wall over the first one's channels, so that every tile
// is in a conflict: the worst case for the conflict grouping.
#include "BenchWalls.h"
#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "document/UniverseReport.h"
#include "formats/PatchCsv.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::unique_ptr<CQuiltmarkDoc> MakeWall(CSilentMessages& messages, int side, bool overlapped)
{
    auto doc = std::make_unique<CQuiltmarkDoc>(messages, kBenchLibrary);
    doc->EnableHistory(false);
    doc->OnNewDocument();
    const CSectionSetup setup = WallSetup(*doc, side);
    doc->SetUpSection(*doc->GetSection(0), setup);
    if (overlapped)
        doc->SetUpSection(*doc->AppendSection(), setup);
    return doc;
}

void BM_UniverseReport(benchmark::State& state)
{
    CSilentMessages messages;
    const auto doc = MakeWall(messages, static_cast<int>(state.range(0)), state.range(1) != 0);
    std::size_t rows = 0;
    std::size_t conflicts = 0;
    for (auto _ : state) {
        const std::vector<CUniverseReportRow> report = BuildUniverseReport(*doc);
        rows = report.size();
        conflicts = 0;
        for (const CUniverseReportRow& row : report)
            conflicts += row.conflicts.size();
        benchmark::DoNotOptimize(report.data());
    }
    state.counters["universes"] = static_cast<double>(rows);
    state.counters["conflicts"] = static_cast<double>(conflicts);
}
BENCHMARK(BM_UniverseReport)
    ->Args({ 2000, 0 })
    ->Args({ 2000, 1 })
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The CSV is only counted, never kept: what it costs apart from the disk.
void BM_PatchCsv(benchmark::State& state)
{
    CSilentMessages messages;
    const auto doc = MakeWall(messages, static_cast<int>(state.range(0)), false);
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        ForEachPatchCsvPiece({ { 1, doc->GetSection(0) } }, doc->GetDevices(),
            [&bytes](std::string_view piece) { bytes += piece.size(); });
    }
    state.counters["MB"] = static_cast<double>(bytes) / (1 << 20);
}
BENCHMARK(BM_PatchCsv)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
