#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "view/PrintPainter.h"

#include <QBuffer>
#include <QPdfWriter>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

// One section of n x n fixtures, every tile on paper.
struct CPrintProject {
    CSilentMessages messages;
    CQuiltmarkDoc doc { messages, QUILTMARK_SOURCE_DIR "/resources/metalib.xml" };

    CPrintProject(int n, const char* type)
    {
        doc.OnNewDocument();
        CSubDoc* s = doc.GetCurrentSection();
        s->setup.fix_type = doc.GetLibrary().IndexOfType(type);
        s->setup.matrix_width = n;
        s->setup.matrix_height = n;
        s->SetUp();
        s->RecountUniverses();
        doc.RebuildTables();
    }
};

// Projects are built once per size and type; the big ones take a while.
const CPrintProject& Project(int n, int type)
{
    static std::map<std::pair<int, int>, std::unique_ptr<CPrintProject>> projects;
    auto& p = projects[{ n, type }];
    if (!p)
        p = std::make_unique<CPrintProject>(
            n, type == 0 ? "ZIDUZU_COLOR_BEAMER" : "BRAKWELL_TILE_2X2");
    return *p;
}

// Peak resident memory since the last reset, in MB (Linux; 0 elsewhere).
void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double PeakMemoryMB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

double ResidentMB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// range(0): tiles across and down; range(1): 1 = connections by address shown;
// range(2): fixture 0 = 1x1, 1 = 2x2. The PDF device has 1200 dots per inch, as a printer.
void BM_PrintPatchMatrixPdf(benchmark::State& state)
{
    const CPrintProject& project
        = Project(static_cast<int>(state.range(0)), static_cast<int>(state.range(2)));
    CPrintJob job;
    job.stamp.date = "Wed Jan  2 02:03:55 1980";
    if (state.range(1)) {
        job.view.connectionMode = ConnectionMode::All;
        job.view.connectionOrder = ConnectionOrder::ByAddress;
    }
    qint64 bytes = 0;
    const double before = ResidentMB();
    ResetPeakMemory();
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        benchmark::DoNotOptimize(RunPrintJob(writer, project.doc, job));
        bytes = buffer.size();
    }
    state.counters["pdf_kB"] = static_cast<double>(bytes) / 1024;
    state.counters["peak_MB_above"] = PeakMemoryMB() - before;
}
BENCHMARK(BM_PrintPatchMatrixPdf)
    ->ArgNames({ "n", "byAddress", "type" })
    ->Args({ 16, 0, 0 })
    ->Args({ 100, 0, 0 })
    ->Args({ 100, 1, 0 })
    ->Args({ 300, 0, 0 })
    ->Args({ 200, 0, 1 })
    ->Args({ 200, 1, 1 })
    ->Args({ 1000, 0, 1 })
    ->Args({ 1000, 1, 1 })
    ->Args({ 2000, 0, 1 })
    ->Args({ 2000, 1, 1 })
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
