// The poem store against a collection of 100,000 poems (or --poems=N), each
// operation beside the floor it cannot beat: reading the index once, or
// replacing it once. Selecting a row (its poem loaded for the editor) and a
// save with the list refresh that follows it are held to what a user notices.
//
//   poem_store_bench [--poems=N] [--poem_size=realistic|short]
//                    [--collection_dir=DIR] [benchmark flags]
//
// Without --collection_dir the collection goes to a fresh temporary directory
// that is removed at the end; a given directory is filled and kept.

#include "bench_support.h"
#include "storage/atomic_file.h"
#include "storage/poem_list_reader.h"
#include "storage/poem_store.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using stanzel::PoemRecord;
using stanzel::PoemStore;

struct Collection {
    fs::path dir;
    std::vector<std::int32_t> ids; // the poems the index holds now
    std::int32_t autoid = 1;
    std::mt19937 rng{20240517};
};

Collection g_collection;

fs::path IndexPath() {
    return g_collection.dir / "poems.dmp";
}

std::int32_t RandomLiveIndex() {
    return std::uniform_int_distribution<std::int32_t>(
        0, static_cast<std::int32_t>(g_collection.ids.size()) - 1)(g_collection.rng);
}

// Fresh poems to save, made before timing starts.
std::vector<PoemRecord> PoemPool(std::size_t count) {
    std::vector<PoemRecord> pool;
    pool.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        pool.push_back(stanzel::bench::MakePoem(g_collection.rng));
    return pool;
}

// A store as the window makes one for each command, with the counter it keeps.
PoemStore Store() {
    PoemStore store(g_collection.dir);
    store.setAutoid(g_collection.autoid);
    return store;
}

std::int32_t SaveNew(const PoemRecord& poem) {
    PoemStore store = Store();
    const std::int32_t id = store.SavePoem(0, poem.title, poem.poet, poem.date, poem.text);
    g_collection.autoid = store.autoid();
    return id;
}

std::string ReadWhole(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path.string());
    struct stat info {};
    ::fstat(fd, &info);
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

void BM_ReadIndexWhole(benchmark::State& state) {
    for (auto _ : state) {
        std::string bytes = ReadWhole(IndexPath());
        benchmark::DoNotOptimize(bytes.data());
    }
}

void BM_ListPoems(benchmark::State& state) {
    std::size_t listed = 0;
    for (auto _ : state) {
        const auto list = PoemStore(g_collection.dir).ListPoems();
        listed = list.size();
        benchmark::DoNotOptimize(list.size());
    }
    // Shows whether the whole collection came back, not just a prefix of it.
    state.counters["listed"] = static_cast<double>(listed);
}

void BM_LoadPoem(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string id = std::to_string(g_collection.ids[RandomLiveIndex()]);
        state.ResumeTiming();
        const PoemRecord poem = PoemStore(g_collection.dir).LoadPoem(id);
        benchmark::DoNotOptimize(poem.text.data());
    }
}

// Selecting the first, middle or last row of the list: its poem loaded for
// the editor, as the window does on every arrow key.
void BM_SelectRow(benchmark::State& state) {
    const auto list = PoemStore(g_collection.dir).ListPoems();
    const std::size_t rows[] = {0, list.size() / 2, list.size() - 1};
    const std::string id(list[rows[state.range(0)]].id);
    state.SetLabel(state.range(0) == 0 ? "first" : state.range(0) == 1 ? "middle" : "last");
    for (auto _ : state) {
        const PoemRecord poem = PoemStore(g_collection.dir).LoadPoem(id);
        benchmark::DoNotOptimize(poem.text.data());
    }
}

void BM_AtomicRewriteIndex(benchmark::State& state) {
    const std::string bytes = ReadWhole(IndexPath());
    for (auto _ : state) {
        if (const auto error = stanzel::ReplaceFileAtomically(IndexPath(), bytes)) {
            state.SkipWithError(error.message().c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The list of the index as a save wrote it, as the window makes it while the
// user reads the box that tells of the save.
stanzel::PoemList ListWritten(std::shared_ptr<const std::string> writtenIndex) {
    stanzel::PoemListReader reading(std::move(writtenIndex));
    reading.WaitForEnd();
    stanzel::PoemList list;
    reading.Take(list);
    return list;
}

// A save over an existing poem; with `refreshList` also the list refreshed
// from the index as the save wrote it, which the window makes on a thread of
// its own while its box tells of the save.
void SaveExisting(benchmark::State& state, bool refreshList) {
    const auto pool = PoemPool(64);
    std::size_t next = 0;
    stanzel::PoemList shown; // the list on screen, which each new list replaces
    for (auto _ : state) {
        state.PauseTiming();
        const std::int32_t id = g_collection.ids[RandomLiveIndex()];
        const PoemRecord& poem = pool[next++ % pool.size()];
        state.ResumeTiming();
        PoemStore store = Store();
        std::shared_ptr<const std::string> written;
        benchmark::DoNotOptimize(store.SavePoem(id, poem.title, poem.poet, poem.date, poem.text,
                                                nullptr, refreshList ? &written : nullptr));
        if (refreshList)
            shown = ListWritten(std::move(written));
    }
}

void BM_SavePoemExisting(benchmark::State& state) {
    SaveExisting(state, false);
}

void BM_SaveAndList(benchmark::State& state) {
    SaveExisting(state, true);
}

// Each new poem is deleted again untimed, so the collection keeps its size.
void BM_SavePoemNew(benchmark::State& state) {
    const auto pool = PoemPool(64);
    std::size_t next = 0;
    for (auto _ : state) {
        const PoemRecord& poem = pool[next++ % pool.size()];
        const std::int32_t id = SaveNew(poem);
        state.PauseTiming();
        PoemStore(g_collection.dir).DeletePoem(id);
        state.ResumeTiming();
    }
}

// The deleted poem comes back untimed as a new one at the end of the index,
// so the collection keeps its size.
void BM_DeletePoem(benchmark::State& state) {
    const auto pool = PoemPool(64);
    std::size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::int32_t slot = RandomLiveIndex();
        const std::int32_t id = g_collection.ids[slot];
        state.ResumeTiming();
        PoemStore(g_collection.dir).DeletePoem(id);
        state.PauseTiming();
        g_collection.ids[slot] = SaveNew(pool[next++ % pool.size()]);
        state.ResumeTiming();
    }
}

// Disk-bound work: wall-clock time is what the user waits for. Each runs a
// while untimed first: the first save makes the buffers the store keeps,
// which the memory rounds below measure, and would otherwise be the only
// save timed in a large collection.
#define STORE_BENCHMARK(name)                                                                      \
    BENCHMARK(name)                                                                                \
        ->UseRealTime()                                                                            \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->MeasureProcessCPUTime()                                                                  \
        ->MinWarmUpTime(0.5)

STORE_BENCHMARK(BM_ReadIndexWhole);
STORE_BENCHMARK(BM_ListPoems);
STORE_BENCHMARK(BM_LoadPoem);
STORE_BENCHMARK(BM_SelectRow)->DenseRange(0, 2);
STORE_BENCHMARK(BM_AtomicRewriteIndex);
STORE_BENCHMARK(BM_SavePoemExisting);
STORE_BENCHMARK(BM_SaveAndList);
STORE_BENCHMARK(BM_SavePoemNew);
STORE_BENCHMARK(BM_DeletePoem);

void PrintSummary(const stanzel::bench::RunTimesReporter& reporter, int poems) {
    const auto nanoseconds = [&](const std::string& name) {
        return reporter.Fastest(name).real * 1e9;
    };
    std::printf("\n%-24s %14s\n", "operation", "ns/op");
    for (const char* name :
         {"BM_ReadIndexWhole", "BM_ListPoems", "BM_LoadPoem", "BM_SelectRow/0", "BM_SelectRow/1",
          "BM_SelectRow/2", "BM_AtomicRewriteIndex", "BM_SavePoemExisting", "BM_SaveAndList",
          "BM_SavePoemNew", "BM_DeletePoem"}) {
        if (const double ns = nanoseconds(name); ns > 0)
            std::printf("%-24s %14.0f\n", name, ns);
    }

    // A save may cost a little more per poem in a collection of a million.
    const double saveTarget = poems > 100000 ? 3.0 : 2.0;
    struct Ratio {
        const char* what;
        const char* baseline;
        double target; // 0: no target, shown for information
    };
    std::printf("\n%-24s %-24s %8s %8s\n", "operation", "baseline", "ratio", "target");
    for (const Ratio& ratio : {Ratio{"BM_ListPoems", "BM_ReadIndexWhole", 5.0},
                               Ratio{"BM_LoadPoem", "BM_ReadIndexWhole", 0.0},
                               Ratio{"BM_SelectRow/2", "BM_ReadIndexWhole", 0.0},
                               Ratio{"BM_SavePoemExisting", "BM_AtomicRewriteIndex", saveTarget},
                               Ratio{"BM_SavePoemNew", "BM_AtomicRewriteIndex", saveTarget},
                               Ratio{"BM_SaveAndList", "BM_AtomicRewriteIndex", 0.0},
                               Ratio{"BM_DeletePoem", "BM_AtomicRewriteIndex", 0.0}}) {
        const double what = nanoseconds(ratio.what);
        const double baseline = nanoseconds(ratio.baseline);
        if (what <= 0 || baseline <= 0)
            continue;
        const double value = what / baseline;
        if (ratio.target > 0)
            std::printf("%-24s %-24s %8.2f %7.1fx %s\n", ratio.what, ratio.baseline, value,
                        ratio.target, value <= ratio.target ? "met" : "MISSED");
        else
            std::printf("%-24s %-24s %8.2f %8s\n", ratio.what, ratio.baseline, value, "-");
    }

    // What the user notices, in milliseconds: one frame for selecting a row
    // among 100,000, and a save with its list refresh.
    struct Limit {
        const char* what;
        double ms;
    };
    // The save's limit is set for 100,000 poems; a larger collection is
    // held to its ratio above.
    const double selectLimit = poems > 100000 ? 50.0 : 16.0;
    const double saveLimit = poems > 100000 ? 0.0 : 50.0;
    std::printf("\n%-24s %10s %10s\n", "operation", "ms", "limit");
    for (const Limit& limit : {Limit{"BM_SelectRow/0", selectLimit},
                               Limit{"BM_SelectRow/1", selectLimit},
                               Limit{"BM_SelectRow/2", selectLimit},
                               Limit{"BM_SaveAndList", saveLimit}}) {
        const double ms = nanoseconds(limit.what) / 1e6;
        if (ms <= 0 || limit.ms <= 0)
            continue;
        std::printf("%-24s %10.2f %9.0f  %s\n", limit.what, ms, limit.ms,
                    ms <= limit.ms ? "met" : "MISSED");
    }
}

// Resident memory before and after 20 saves of an existing poem, each with
// the list refreshed as the window does, counted from after a first save
// (which makes the buffers the store keeps): memory must stay level.
void SaveRounds() {
    const auto pool = PoemPool(21);
    // The list on screen from the start, read as the window reads it.
    stanzel::PoemList shown;
    {
        stanzel::PoemListReader reading(IndexPath());
        reading.WaitForEnd();
        reading.Take(shown);
    }
    const auto save = [&](const PoemRecord& poem) {
        PoemStore store = Store();
        std::shared_ptr<const std::string> written;
        store.SavePoem(g_collection.ids[RandomLiveIndex()], poem.title, poem.poet, poem.date,
                       poem.text, nullptr, &written);
        shown = ListWritten(std::move(written));
    };
    // The resident memory after each save, from the first on.
    std::vector<long> rss;
    for (const PoemRecord& poem : pool) {
        save(poem);
        rss.push_back(stanzel::bench::CurrentRssKiB());
    }
    const long before = rss.front();
    const long after = rss.back();
    std::printf("\nresident memory over 20 saves with list refresh, after a first: %ld KiB "
                "before, %ld KiB after (%+.1f%%, limit +10%%) %s\n",
                before, after, 100.0 * (after - before) / std::max(before, 1L),
                after <= before * 1.1 ? "met" : "MISSED");
    // A save's buffers are kept for the next; the list on screen holds the
    // index as last written, so the second save makes the last buffer kept.
    std::printf("after the 1st, 2nd, 3rd and 21st saves: %ld, %ld, %ld, %ld KiB; from the 2nd "
                "on %+.1f%%\n",
                rss[0], rss[1], rss[2], rss.back(),
                100.0 * (rss.back() - rss[1]) / std::max(rss[1], 1L));
}

} // namespace

int main(int argc, char** argv) {
    // The program's own memory policy (main.cpp), so that the memory figure
    // is the window's.
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
    const auto options = stanzel::bench::TakeFlags(argc, argv);
    if (!options)
        return 1;
    const int poems = options->poems;
    g_collection.dir = options->dir;

    stanzel::bench::GenerateAndDescribe(*options);
    for (std::int32_t id = 1; id <= poems; ++id)
        g_collection.ids.push_back(id);
    g_collection.autoid = poems + 1;
    const long rssBefore = stanzel::bench::PeakRssKiB();

    stanzel::bench::RunTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    PrintSummary(reporter, poems);
    SaveRounds();
    // The peak only grows: run one benchmark alone to see what it needs itself.
    std::printf("\npeak RSS: %ld KiB after generating, %ld KiB at the end\n", rssBefore,
                stanzel::bench::PeakRssKiB());

    stanzel::bench::RemoveUnlessKept(*options);
    return 0;
}
