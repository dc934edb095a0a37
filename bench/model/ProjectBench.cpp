// Save and load of a large project: 8 sections of 250 x 250 tiles of a 2 x 2-item fixture
// (500,000 tiles, 2,000,000 patch lines). Reports the peak resident memory as a counter.
#include "app/UserMessages.h"
#include "document/ProjectFile.h"
#include "document/QuiltmarkDoc.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

const std::string kLibrary = std::string(QUILTMARK_SOURCE_DIR) + "/resources/metalib.xml";

void BuildLargeProject(CQuiltmarkDoc& doc)
{
    doc.OnNewDocument();
    const int type = doc.GetLibrary().IndexOfType("BRAKWELL_TILE_2X2");
    for (int s = 0; s < CQuiltmarkDoc::kMaxSections; ++s) {
        CSubDoc* section = s == 0 ? doc.GetSection(0) : doc.AddSection();
        section->setup.fix_type = type < 0 ? 0 : type;
        section->setup.matrix_width = 250;
        section->setup.matrix_height = 250;
        section->setup.screen_id = 1 + s * 250000;
        section->setup.base_universe = s * 200;
        section->SetUp();
    }
    doc.RebuildTables();
}

double PeakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void BM_ProjectSave(benchmark::State& state)
{
    CSilentMessages messages;
    CQuiltmarkDoc doc(messages, kLibrary);
    BuildLargeProject(doc);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = CProjectFileWriter::Write(doc, "2024.05.01 12:00:00");
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["file_MB"] = bytes / 1e6;
    state.counters["peak_rss_MB"] = PeakMegabytes();
}
BENCHMARK(BM_ProjectSave)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ProjectLoad(benchmark::State& state)
{
    CSilentMessages messages;
    CQuiltmarkDoc doc(messages, kLibrary);
    BuildLargeProject(doc);
    const std::string text = CProjectFileWriter::Write(doc, "2024.05.01 12:00:00");
    for (auto _ : state) {
        const bool ok = CProjectFileReader::Read(doc, text.data(), text.size());
        benchmark::DoNotOptimize(ok);
    }
    state.counters["peak_rss_MB"] = PeakMegabytes();
}
BENCHMARK(BM_ProjectLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

// One rebuild of the derived tables after a change of tiles, at the largest section size.
void BM_RebuildTablesLargestSection(benchmark::State& state)
{
    CSilentMessages messages;
    CQuiltmarkDoc doc(messages, kLibrary);
    doc.OnNewDocument();
    CSubDoc* section = doc.GetSection(0);
    section->setup.fix_type = doc.GetLibrary().IndexOfType("LUMORA_PIXELDOT_RGB");
    section->setup.matrix_width = 2000;
    section->setup.matrix_height = 2000;
    section->setup.address_origin = 3;
    section->SetUp();
    for (auto _ : state)
        doc.RebuildTables();
    state.counters["peak_rss_MB"] = PeakMegabytes();
}
BENCHMARK(BM_RebuildTablesLargestSection)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
