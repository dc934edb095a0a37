#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "view/Connections.h"
#include "view/QuiltmarkView.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

// An n x n section built through the model, shared by every benchmark of its size.
struct CBigProject {
    CSilentMessages messages;
    CQuiltmarkDoc doc { messages, QUILTMARK_SOURCE_DIR "/resources/metalib.xml" };

    CBigProject(const char* type, int n)
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

CBigProject& Project(int type, int n = 2000)
{
    static std::map<std::pair<int, int>, std::unique_ptr<CBigProject>> projects;
    auto& p = projects[{ type, n }];
    if (!p)
        p = std::make_unique<CBigProject>(
            type == 0 ? "ZIDUZU_COLOR_BEAMER" : "BRAKWELL_TILE_2X2", n);
    return *p;
}

double StatusMB(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(std::string(key).size())) / 1024.0;
    }
    return 0;
}

// Peak resident memory is measured from here (Linux).
void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// range(0): fixture 0 = 1x1, 1 = 2x2; range(1): 0 = Page, 1 = 100 %; range(2): order;
// range(3): 1 = every paint is the first after an edit (the tiles changed), 0 = kept
// while scrolling; range(4): tiles across and down.
void BM_PaintSection(benchmark::State& state)
{
    CBigProject& project
        = Project(static_cast<int>(state.range(0)), static_cast<int>(state.range(4)));
    const double residentBefore = StatusMB("VmRSS:");
    ResetPeakMemory();
    CQuiltmarkView view(project.doc);
    view.resize(1920 + 4, 1080 + 4);
    view.show();
    if (state.range(1) == 0)
        view.SetZoomMode(ZoomMode::Page);
    else
        view.SetZoom(100);
    view.SetConnectionMode(ConnectionMode::All);
    view.SetConnectionOrder(
        state.range(2) == 0 ? ConnectionOrder::ByPosition : ConnectionOrder::ByAddress);
    const bool rebuild = state.range(3) != 0;
    QImage image(1920, 1080, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        view.RenderTo(painter, image.rect());
    }
    view.WaitForConnections();
    double readyMs = 0;
    CSubDoc& section = *project.doc.GetCurrentSection();
    for (auto _ : state) {
        if (rebuild) {
            // An edit as the document makes it: one tile changes, then the view redraws.
            state.PauseTiming();
            CTileRecord& t = section.Tiles()[section.Tiles().size() / 2];
            t.excluded = !t.excluded;
            state.ResumeTiming();
            view.Redraw();
        }
        QPainter painter(&image);
        view.RenderTo(painter, image.rect());
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
        if (rebuild) {
            // Until the chains of the edited tiles are shown (built aside on large sections).
            state.PauseTiming();
            QElapsedTimer ready;
            ready.start();
            view.WaitForConnections();
            readyMs = std::max(readyMs, ready.nsecsElapsed() / 1e6);
            state.ResumeTiming();
        }
    }
    state.counters["tile_px"] = view.GetLayout().tile.width();
    state.counters["peak_MB_above"] = StatusMB("VmHWM:") - residentBefore;
    // What the view keeps between edits: its chains and the copy its builds aside read.
    state.counters["held_MB_above"] = StatusMB("VmRSS:") - residentBefore;
    if (rebuild)
        state.counters["chains_ready_ms"] = readyMs;
}

// The chains alone, as rebuilt after every edit: range(0) fixture, range(1) order.
void BM_BuildChains(benchmark::State& state)
{
    const CSubDoc& section = *Project(static_cast<int>(state.range(0))).doc.GetCurrentSection();
    const ConnectionOrder order
        = state.range(1) == 0 ? ConnectionOrder::ByPosition : ConnectionOrder::ByAddress;
    size_t chains = 0;
    for (auto _ : state) {
        const CConnectionChains c = BuildConnectionChains(section, order);
        chains = c.chains.size();
        benchmark::DoNotOptimize(c.tiles.data());
    }
    state.counters["chains"] = static_cast<double>(chains);
}

} // namespace

BENCHMARK(BM_BuildChains)
    ->ArgNames({ "type", "byAddress" })
    ->ArgsProduct({ { 0, 1 }, { 0, 1 } })
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_PaintSection)
    ->ArgNames({ "type", "zoom100", "byAddress", "rebuild", "n" })
    ->ArgsProduct({ { 0, 1 }, { 0, 1 }, { 0, 1 }, { 0, 1 }, { 2000 } })
    ->ArgsProduct({ { 1 }, { 0, 1 }, { 0, 1 }, { 0, 1 }, { 200, 500, 1000 } })
    ->Unit(benchmark::kMillisecond);
