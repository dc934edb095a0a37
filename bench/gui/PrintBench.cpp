#include "app/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "view/PrintPainter.h"

#include <QBuffer>
#include <QPdfWriter>
#include <benchmark/benchmark.h>

namespace {

// One section of n x n single-pixel fixtures, every tile on paper.
struct CPrintProject {
    CSilentMessages messages;
    CQuiltmarkDoc doc { messages, QUILTMARK_SOURCE_DIR "/resources/metalib.xml" };

    explicit CPrintProject(int n)
    {
        doc.OnNewDocument();
        CSubDoc* s = doc.GetCurrentSection();
        s->setup.fix_type = doc.GetLibrary().IndexOfType("ZIDUZU_COLOR_BEAMER");
        s->setup.matrix_width = n;
        s->setup.matrix_height = n;
        s->SetUp();
        s->RecountUniverses();
        doc.RebuildTables();
    }
};

// range(0): tiles across and down; range(1): 1 = connections by address shown.
void BM_PrintPatchMatrixPdf(benchmark::State& state)
{
    const CPrintProject project(static_cast<int>(state.range(0)));
    CPrintJob job;
    job.stamp.date = "Wed Jan  2 02:03:55 1980";
    if (state.range(1)) {
        job.view.connectionMode = ConnectionMode::All;
        job.view.connectionOrder = ConnectionOrder::ByAddress;
    }
    qint64 bytes = 0;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        benchmark::DoNotOptimize(RunPrintJob(writer, project.doc, job));
        bytes = buffer.size();
    }
    state.counters["pdf_kB"] = static_cast<double>(bytes) / 1024;
}
BENCHMARK(BM_PrintPatchMatrixPdf)
    ->Args({ 16, 0 })
    ->Args({ 100, 0 })
    ->Args({ 100, 1 })
    ->Args({ 300, 0 })
    ->Unit(benchmark::kMillisecond);

} // namespace
