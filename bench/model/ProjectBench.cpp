// Save and load of large projects through the files, as the program does them: 8 sections of
// 250 x 250 tiles of a 2 x 2-item fixture (500,000 tiles, 2,000,000 patch lines), and one
// section of 200^2, 1000^2 and 2000^2 tiles (up to 16 M items). Each measurement runs in a
// child process, so that its memory is its own: `extra_MB` is the child's peak resident
// memory above what it had when the operation began (for a save: above the project built
// in it; for a load: the project read plus what reading needed), next to the file's size.
#include "app/base/UserMessages.h"
#include "document/ProjectFile.h"
#include "document/QuiltmarkDoc.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kLibrary = std::string(QUILTMARK_SOURCE_DIR) + "/resources/metalib.xml";

void BuildProject(CQuiltmarkDoc& doc, int sections, int size)
{
    doc.EnableHistory(false);
    doc.OnNewDocument();
    const int type = doc.GetLibrary().IndexOfType("BRAKWELL_TILE_2X2");
    for (int s = 0; s < sections; ++s) {
        CSubDoc* section = s == 0 ? doc.GetSection(0) : doc.AddSection();
        section->setup.fix_type = type < 0 ? 0 : type;
        section->setup.matrix_width = size;
        section->setup.matrix_height = size;
        section->setup.screen_id = 1 + s * size * size * 4;
        section->setup.base_universe = s * (size * size * 12 / 512 + 1);
        section->SetUp();
    }
    doc.RebuildTables();
}

long ResidentKilobytes()
{
    long pages = 0;
    long resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Measurement {
    double seconds = 0;
    double extraMegabytes = 0;
    bool ok = false;
};

// Runs `prepare`, then `work` in a child process and returns the time of the work and the
// memory it needed above what the child had before it.
template <typename Prepare, typename Work> Measurement InChild(Prepare prepare, Work work)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        prepare();
        const long before = ResidentKilobytes();
        const auto start = std::chrono::steady_clock::now();
        Measurement m;
        m.ok = work();
        m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        m.extraMegabytes = static_cast<double>(usage.ru_maxrss - before) / 1024.0;
        (void)!write(fds[1], &m, sizeof m);
        _exit(0);
    }
    close(fds[1]);
    Measurement m;
    if (read(fds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m))
        m = Measurement {};
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return m;
}

std::string BenchFile(int sections, int size)
{
    return "/tmp/quiltmark-bench-" + std::to_string(sections) + "x" + std::to_string(size)
        + ".patch";
}

double FileMegabytes(const std::string& path)
{
    struct stat info { };
    return stat(path.c_str(), &info) == 0 ? static_cast<double>(info.st_size) / 1e6 : 0;
}

void Report(benchmark::State& state, const Measurement& m, const std::string& path)
{
    if (!m.ok)
        state.SkipWithError("the operation failed");
    state.SetIterationTime(m.seconds);
    const double megabytes = FileMegabytes(path);
    state.counters["file_MB"] = megabytes;
    state.counters["MB_per_s"] = m.seconds > 0 ? megabytes / m.seconds : 0;
    state.counters["extra_MB"] = m.extraMegabytes;
}

void BM_ProjectSave(benchmark::State& state)
{
    const int sections = static_cast<int>(state.range(0));
    const int size = static_cast<int>(state.range(1));
    const std::string path = BenchFile(sections, size);
    for (auto _ : state) {
        CSilentMessages messages;
        std::unique_ptr<CQuiltmarkDoc> doc;
        Report(state,
            InChild(
                [&] {
                    doc = std::make_unique<CQuiltmarkDoc>(messages, kLibrary);
                    BuildProject(*doc, sections, size);
                    doc->SetScriptDate("2024.05.01 12:00:00");
                },
                [&] { return doc->WriteProjectFile(path); }),
            path);
    }
    std::remove(path.c_str());
}

void BM_ProjectLoad(benchmark::State& state)
{
    const int sections = static_cast<int>(state.range(0));
    const int size = static_cast<int>(state.range(1));
    const std::string path = BenchFile(sections, size);
    CSilentMessages messages;
    // Written by a child of its own, so that the loading one starts without a project.
    InChild([] {},
        [&] {
            CQuiltmarkDoc doc(messages, kLibrary);
            BuildProject(doc, sections, size);
            doc.SetScriptDate("2024.05.01 12:00:00");
            return doc.WriteProjectFile(path);
        });
    for (auto _ : state) {
        std::unique_ptr<CQuiltmarkDoc> doc;
        Report(state,
            InChild(
                [&] {
                    doc = std::make_unique<CQuiltmarkDoc>(messages, kLibrary);
                    doc->EnableHistory(false);
                },
                [&] { return doc->OnOpenDocument(path) && doc->WasLoadSuccessful(); }),
            path);
    }
    std::remove(path.c_str());
}

void Sizes(benchmark::internal::Benchmark* bench)
{
    bench->Args({ 8, 250 })->Args({ 1, 200 })->Args({ 1, 1000 })->Args({ 1, 2000 });
    bench->ArgNames({ "sections", "size" });
    bench->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
}
BENCHMARK(BM_ProjectSave)->Apply(Sizes);
BENCHMARK(BM_ProjectLoad)->Apply(Sizes);

double PeakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

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
