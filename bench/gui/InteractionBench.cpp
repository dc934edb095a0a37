#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "view/QuiltmarkView.h"

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>

// What a user waits for on a wall of a quarter of a million tiles: one command and the repaint
// that shows its result, on a 1920 x 1080 window with every connection drawn.
namespace {

struct CWall {
    CSilentMessages messages;
    CQuiltmarkDoc doc { messages, QUILTMARK_SOURCE_DIR "/resources/metalib.xml" };

    explicit CWall(int n)
    {
        doc.EnableHistory(true);
        doc.OnNewDocument();
        CSubDoc& s = *doc.GetCurrentSection();
        CSectionSetup setup = s.setup;
        setup.fix_type = doc.GetLibrary().IndexOfType("BRAKWELL_TILE_2X2");
        setup.matrix_width = n;
        setup.matrix_height = n;
        doc.SetUpSection(s, setup);
    }
};

enum class Step { ZoomStep, Scroll, Toggle, ShowConnections, SortByAddress };

// range(0): the step; range(1): tiles across and down.
void BM_InteractionStep(benchmark::State& state)
{
    const auto step = static_cast<Step>(state.range(0));
    static const char* const names[]
        = { "zoom step", "scroll 400 px", "toggle (auto addressing)", "F7", "F10" };
    state.SetLabel(names[state.range(0)]);
    const int n = static_cast<int>(state.range(1));
    CWall wall(n);
    CQuiltmarkView view(wall.doc);
    view.resize(1920 + 4, 1080 + 4);
    view.show();
    view.SetZoom(100);
    view.SetConnectionMode(ConnectionMode::All);
    QImage image(1920, 1080, QImage::Format_RGB32);
    const auto paint = [&] {
        QPainter painter(&image);
        view.RenderTo(painter, image.rect());
    };
    paint();
    view.WaitForConnections();

    CSubDoc& section = *wall.doc.GetCurrentSection();
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        switch (step) {
        case Step::ZoomStep:
            if (flip)
                view.ZoomOut();
            else
                view.ZoomIn();
            break;
        case Step::Scroll: {
            QScrollBar* bar = view.verticalScrollBar();
            bar->setValue(flip ? bar->value() + 400 : bar->value() - 400);
            break;
        }
        case Step::Toggle:
            // Near the top left, so automatic addressing moves every tile after it.
            wall.doc.ExcludeTiles(section, { { 1, 1 } }, flip);
            view.Redraw();
            break;
        case Step::ShowConnections:
            view.SetConnectionMode(flip ? ConnectionMode::Hidden : ConnectionMode::All);
            break;
        case Step::SortByAddress:
            view.SetConnectionOrder(
                flip ? ConnectionOrder::ByAddress : ConnectionOrder::ByPosition);
            break;
        }
        paint();
        benchmark::DoNotOptimize(image.constBits());
        // The chains of a wall this size are built before the paint; waiting costs nothing
        // then, and shows it if that ever changes.
        view.WaitForConnections();
    }
}

BENCHMARK(BM_InteractionStep)
    ->ArgNames({ "step", "n" })
    ->ArgsProduct({ { 0, 1, 2, 3, 4 }, { 500 } })
    ->Unit(benchmark::kMillisecond);

} // namespace
