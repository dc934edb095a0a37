#include "BenchWalls.h"

#include "app/base/UserMessages.h"
#include "document/GoTo.h"
#include "document/TileDetails.h"

#include <benchmark/benchmark.h>

namespace {

// A 2000 x 2000 wall, once for every benchmark here: set-up costs seconds.
CQuiltmarkDoc& Wall()
{
    static CRecordingMessages messages;
    static CQuiltmarkDoc* doc = [] {
        auto* d = new CQuiltmarkDoc(messages, kBenchLibrary);
        d->OnNewDocument();
        d->EnableHistory(false);
        d->SetUpSection(*d->GetCurrentSection(), WallSetup(*d, 2000));
        return d;
    }();
    return *doc;
}

// The worst case: the address of the wall's last tile, found after a walk over all of them.
void BM_GoToLastAddress(benchmark::State& state)
{
    CQuiltmarkDoc& doc = Wall();
    const CTileRecord& last = *doc.GetSection(0)->GetTile(1999, 1999);
    CGoToTarget target;
    target.kind = CGoToTarget::Kind::Address;
    target.universe = last.universe;
    target.address = last.address;
    for (auto _ : state) {
        const std::optional<CTileLocation> at = FindGoTo(doc, target);
        if (!at)
            state.SkipWithError("not found");
        benchmark::DoNotOptimize(at);
    }
    state.counters["tiles"] = 2000.0 * 2000.0;
}

// An address nobody uses: the full walk, without a hit.
void BM_GoToMissingAddress(benchmark::State& state)
{
    CQuiltmarkDoc& doc = Wall();
    const std::optional<CGoToTarget> target = ParseGoTo("U99999.1");
    for (auto _ : state)
        benchmark::DoNotOptimize(FindGoTo(doc, *target));
}

void BM_GoToScreenId(benchmark::State& state)
{
    CQuiltmarkDoc& doc = Wall();
    const CSubDoc& section = *doc.GetSection(0);
    const std::optional<CGoToTarget> target = ParseGoTo(std::to_string(
        section.ScreenIdAt(section.GetItemColumns() - 1, section.GetItemRows() - 1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(FindGoTo(doc, *target));
}

// What one tool tip costs on that wall.
void BM_TileDetails(benchmark::State& state)
{
    CQuiltmarkDoc& doc = Wall();
    const CSubDoc& section = *doc.GetSection(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(GetTileDetails(doc, section, 1234, 1567));
}

} // namespace

BENCHMARK(BM_GoToLastAddress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GoToMissingAddress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GoToScreenId)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TileDetails)->Unit(benchmark::kMicrosecond);
