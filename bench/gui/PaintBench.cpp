#include "app/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "view/Connections.h"
#include "view/QuiltmarkView.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// A 2000 x 2000 section built through the model, shared by every benchmark.
struct CBigProject {
    CSilentMessages messages;
    CQuiltmarkDoc doc { messages, QUILTMARK_SOURCE_DIR "/resources/metalib.xml" };

    explicit CBigProject(const char* type)
    {
        doc.OnNewDocument();
        CSubDoc* s = doc.GetCurrentSection();
        s->setup.fix_type = doc.GetLibrary().IndexOfType(type);
        s->setup.matrix_width = 2000;
        s->setup.matrix_height = 2000;
        s->SetUp();
        s->RecountUniverses();
        doc.RebuildTables();
    }
};

CBigProject& Project(int type)
{
    static CBigProject single("ZIDUZU_COLOR_BEAMER");
    static CBigProject tile("BRAKWELL_TILE_2X2");
    return type == 0 ? single : tile;
}

// range(0): fixture 0 = 1x1, 1 = 2x2; range(1): 0 = Page, 1 = 100 %; range(2): order;
// range(3): 1 = chains rebuilt for every paint (as after an edit), 0 = kept while scrolling.
void BM_PaintSection(benchmark::State& state)
{
    CBigProject& project = Project(static_cast<int>(state.range(0)));
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
    for (auto _ : state) {
        if (rebuild)
            view.Redraw();
        QPainter painter(&image);
        view.RenderTo(painter, image.rect());
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["tile_px"] = view.GetLayout().tile.width();
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
    ->ArgNames({ "type", "zoom100", "byAddress", "rebuild" })
    ->ArgsProduct({ { 0, 1 }, { 0, 1 }, { 0, 1 }, { 0, 1 } })
    ->Unit(benchmark::kMillisecond);
