// How long File Open and File Save keep the window's thread from handling events, for an
// N x N section of 2 x 2-item tiles. The work itself runs on a worker thread; what stalls
// the window is the part around it (taking the read project over, refreshing the view).
#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "shell/DocManager.h"
#include "shell/RecentFileList.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <sys/resource.h>

namespace {

const std::string kLibrary = QUILTMARK_SOURCE_DIR "/resources/metalib.xml";

double PeakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Save As names `saveName`; nothing else is asked.
class CFixedPrompts : public IDocPrompts {
public:
    SaveAnswer AskSaveChanges(const QString&) override { return SaveAnswer::No; }
    QString AskOpenFileName() override { return {}; }
    QString AskSaveFileName(const QString&) override { return saveName; }
    QString saveName;
};

std::string ProjectPath(int size)
{
    return (QDir::tempPath() + QStringLiteral("/quiltmark-bench-%1.patch").arg(size)).toStdString();
}

// Writes the N x N project once; later runs reuse it.
void MakeProject(int size)
{
    const std::string path = ProjectPath(size);
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return;
    }
    CSilentMessages messages;
    CQuiltmarkDoc doc(messages, kLibrary);
    doc.OnNewDocument();
    CSubDoc* section = doc.GetCurrentSection();
    section->setup.fix_type = doc.GetLibrary().IndexOfType("BRAKWELL_TILE_2X2");
    section->setup.matrix_width = size;
    section->setup.matrix_height = size;
    section->SetUp();
    doc.RebuildTables();
    doc.SetScriptDate("2024-01-01");
    doc.WriteProjectFile(path);
}

// The longest time between two turns of the window's event loop while `work` runs.
template <class Work> double LongestStallMs(Work work)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    work();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return static_cast<double>(longest) / 1e6;
}

// range(0): N. Counters: the whole Open and Save, and the longest stall of the window's
// thread during each (when both ran on the window's thread, the stall was the whole time).
void BM_OpenSaveWindowStall(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    const int size = static_cast<int>(state.range(0));
    MakeProject(size);
    const QString path = QString::fromStdString(ProjectPath(size));
    const QString copy = path + QStringLiteral(".saved");
    CSilentMessages messages;
    CFixedPrompts prompts;
    prompts.saveName = copy;
    CRecentFileList recent;
    CQuiltmarkDoc doc(messages, kLibrary);
    doc.OnNewDocument();
    CDocManager docs(doc, messages, prompts, recent);
    docs.SetProgressDialogDelay(1 << 30);
    double openStall = 0;
    double saveStall = 0;
    double openMs = 0;
    double saveMs = 0;
    for (auto _ : state) {
        bool ok = false;
        QElapsedTimer clock;
        clock.start();
        openStall
            = std::max(openStall, LongestStallMs([&] { ok = docs.OpenDocumentFile(path, false); }));
        openMs = std::max(openMs, static_cast<double>(clock.restart()));
        doc.SetModifiedFlag();
        saveStall = std::max(saveStall, LongestStallMs([&] { ok = ok && docs.OnFileSaveAs(); }));
        saveMs = std::max(saveMs, static_cast<double>(clock.elapsed()));
        if (!ok)
            state.SkipWithError("open or save failed");
    }
    QFile::remove(copy);
    state.counters["open_ms"] = openMs;
    state.counters["save_ms"] = saveMs;
    state.counters["open_stall_ms"] = openStall;
    state.counters["save_stall_ms"] = saveStall;
    state.counters["peak_rss_MB"] = PeakMegabytes();
}
BENCHMARK(BM_OpenSaveWindowStall)
    ->Arg(200)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
