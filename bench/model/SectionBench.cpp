#include "app/library/FixtureType.h"
#include "app/library/MetaLib.h"
#include "document/section/Addressing.h"
#include "document/section/SubDoc.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>

namespace {

int AddPixelTile(CMetaLib& library)
{
    auto type = std::make_unique<CFixtureType>();
    type->type = "BENCH_2X2";
    type->width = 2;
    type->height = 2;
    type->addressesPerQuark = 3;
    type->flags = CFixtureType::kFlagSnake;
    return library.Add(std::move(type));
}

double PeakResidentMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // Linux reports kilobytes
}

void Configure(CSubDoc& section, int fixture, int size)
{
    section.setup.fix_type = fixture;
    section.setup.matrix_width = size;
    section.setup.matrix_height = size;
    section.setup.orientation = 1;
    section.setup.address_origin = 3;
    section.setup.primary_direction = 1;
    section.setup.check_invert_secondaries = 1;
}

// A fresh section each time: grid allocation, tile addressing and the item rebuild.
void BM_SectionFirstSetUp(benchmark::State& state)
{
    CMetaLib library;
    const int fixture = AddPixelTile(library);
    const int size = static_cast<int>(state.range(0));
    for (auto _ : state) {
        CSubDoc section(&library);
        Configure(section, fixture, size);
        if (!section.SetUp())
            state.SkipWithError("set-up refused");
        benchmark::DoNotOptimize(section.Tiles().data());
    }
    state.counters["tiles"] = static_cast<double>(size) * size;
    state.counters["peak_MB"] = PeakResidentMegabytes();
}

// What every tile edit costs with automatic addressing on: the grid is reused.
void BM_SectionReaddress(benchmark::State& state)
{
    CMetaLib library;
    const int fixture = AddPixelTile(library);
    const int size = static_cast<int>(state.range(0));
    CSubDoc section(&library);
    Configure(section, fixture, size);
    section.SetUp();
    for (auto _ : state) {
        AddressTiles(section, CAddressingParams::FromSetup(section.setup), AddressScope::AllTiles);
        section.RebuildItems();
        benchmark::DoNotOptimize(section.Tiles().data());
    }
    state.counters["items"] = static_cast<double>(section.GetItemCount());
    state.counters["peak_MB"] = PeakResidentMegabytes();
}

} // namespace

BENCHMARK(BM_SectionFirstSetUp)->Arg(200)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SectionReaddress)->Arg(200)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);
