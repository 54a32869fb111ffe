// The collection model against a collection of 100,000 poems (or --poems=N),
// each operation beside the floor of the same work in the same run: reading
// the index whole, or a plain program's save of the same index from memory
// (written to a new file, flushed, renamed into place, the folder flushed).
//
//   poem_store_bench [--poems=N] [--poem_size=realistic|short]
//                    [--collection_dir=DIR] [benchmark flags]
//
// Without --collection_dir the collection goes to a fresh temporary directory
// that is removed at the end; a given directory is filled and kept.

#include "bench_support.h"
#include "storage/atomic_file.h"
#include "storage/poem_store.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using stanzel::PoemRecord;
using stanzel::PoemStore;

fs::path g_dir;
fs::path g_emptyDir;
std::unique_ptr<PoemStore> g_store; // the window's model, kept for the run
std::mt19937 g_rng{20240517};

std::vector<PoemRecord> PoemPool(std::size_t count) {
    std::vector<PoemRecord> pool;
    for (std::size_t i = 0; i < count; ++i)
        pool.push_back(stanzel::bench::MakePoem(g_rng));
    return pool;
}

std::size_t RandomRow() {
    return std::uniform_int_distribution<std::size_t>(0, g_store->size() - 1)(g_rng);
}

// The floor of opening the collection: its index read into memory.
void BM_ReadIndexWhole(benchmark::State& state) {
    for (auto _ : state) {
        const std::string bytes = stanzel::bench::ReadWholePlain(g_dir / "poems.dmp");
        benchmark::DoNotOptimize(bytes.data());
    }
}

void BM_OpenCollection(benchmark::State& state) {
    for (auto _ : state) {
        PoemStore store(g_dir);
        store.Refresh();
        benchmark::DoNotOptimize(store.size());
    }
}

// The floor of a save: what a plain program does to put the same index in
// place from memory. It goes to a file beside the index, never the index.
void BM_SaveFloor(benchmark::State& state) {
    const std::string bytes = g_store->Index()->bytes();
    const fs::path target = g_dir / "floor.dmp";
    for (auto _ : state)
        stanzel::bench::ReplacePlain(target, bytes);
    fs::remove(target);
}

// Selecting the first, middle or last row: the look at the index's
// identity, the row's fields and the poem's text, as the window does.
void BM_SelectRow(benchmark::State& state) {
    const std::size_t rows[] = {0, g_store->size() / 2, g_store->size() - 1};
    const std::size_t row = rows[state.range(0)];
    state.SetLabel(state.range(0) == 0 ? "first" : state.range(0) == 1 ? "middle" : "last");
    for (auto _ : state) {
        g_store->Refresh();
        PoemRecord poem = g_store->fields(row);
        poem.text = g_store->LoadText(g_store->id(row));
        benchmark::DoNotOptimize(poem.text.data());
    }
}

void BM_SavePoemExisting(benchmark::State& state) {
    const auto pool = PoemPool(64);
    std::size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto id = stanzel::CanonicalPoemId(g_store->id(RandomRow())).value_or(0);
        const PoemRecord& poem = pool[next++ % pool.size()];
        state.ResumeTiming();
        g_store->SavePoem(id, poem.title, poem.poet, poem.date, poem.text);
    }
}

void BM_SavePoemNew(benchmark::State& state) {
    const auto pool = PoemPool(64);
    std::size_t next = 0;
    for (auto _ : state) {
        const PoemRecord& poem = pool[next++ % pool.size()];
        g_store->SavePoem(0, poem.title, poem.poet, poem.date, poem.text);
    }
}

// The same save in a collection of a few poems: what a save costs beyond
// the index, which the target for a large collection adds the floor to.
void BM_SaveEmptyCollection(benchmark::State& state) {
    PoemStore store(g_emptyDir);
    const auto pool = PoemPool(64);
    std::size_t next = 0;
    for (auto _ : state) {
        const PoemRecord& poem = pool[next++ % pool.size()];
        store.SavePoem(next > 8 ? 1 : 0, poem.title, poem.poet, poem.date, poem.text);
    }
}

void BM_DeletePoem(benchmark::State& state) {
    const auto pool = PoemPool(8);
    for (auto _ : state) {
        state.PauseTiming();
        const PoemRecord& poem = pool[state.iterations() % pool.size()];
        const auto id = g_store->SavePoem(0, poem.title, poem.poet, poem.date, poem.text);
        state.ResumeTiming();
        g_store->DeletePoem(std::to_string(id));
    }
}

#define STORE_BENCHMARK(name) BENCHMARK(name)->Unit(benchmark::kMillisecond)->MinTime(1.0)

STORE_BENCHMARK(BM_ReadIndexWhole);
STORE_BENCHMARK(BM_OpenCollection);
STORE_BENCHMARK(BM_SaveFloor);
STORE_BENCHMARK(BM_SaveEmptyCollection);
STORE_BENCHMARK(BM_SavePoemExisting);
STORE_BENCHMARK(BM_SavePoemNew);
STORE_BENCHMARK(BM_SelectRow)->DenseRange(0, 2);
STORE_BENCHMARK(BM_DeletePoem);

double Ms(const stanzel::bench::RunTimesReporter& reporter, const char* name) {
    return reporter.Fastest(name).real * 1000.0;
}

void PrintSummary(const stanzel::bench::RunTimesReporter& reporter, long idleKiB,
                  std::size_t indexBytes) {
    const double floor = Ms(reporter, "BM_SaveFloor");
    const double empty = Ms(reporter, "BM_SaveEmptyCollection");
    const double allowed = empty + 1.5 * floor;
    std::printf("\n");
    stanzel::bench::PrintMachineLoad();
    std::printf("each figure the fastest of its repetitions\n");
    std::printf("%-34s %9s %9s %9s\n", "", "ms", "target", "");
    const auto line = [](const char* what, double ms, double target, bool met) {
        std::printf("%-34s %9.2f %9.2f %9s\n", what, ms, target, met ? "met" : "MISSED");
    };
    std::printf("%-34s %9.2f\n", "floor: a plain save of the index", floor);
    std::printf("%-34s %9.2f\n", "save in an empty collection", empty);
    for (const char* name : {"BM_SavePoemExisting", "BM_SavePoemNew"}) {
        const double ms = Ms(reporter, name);
        line(name + 3, ms, allowed, ms <= allowed);
    }
    for (const char* name : {"BM_SelectRow/0", "BM_SelectRow/1", "BM_SelectRow/2"}) {
        const double ms = Ms(reporter, name);
        line(name + 3, ms, 16.0, ms <= 16.0);
    }
    const double read = Ms(reporter, "BM_ReadIndexWhole");
    const double open = Ms(reporter, "BM_OpenCollection");
    std::printf("%-34s %9.2f   %.2fx reading the index (%.2f ms)\n", "OpenCollection", open,
                open / std::max(read, 1e-9), read);
    std::printf("\nresident memory with the collection read: %ld KiB against an index of "
                "%zu KiB (%.2fx)\n",
                idleKiB, indexBytes / 1024, idleKiB * 1024.0 / std::max<std::size_t>(indexBytes, 1));
}

} // namespace

int main(int argc, char** argv) {
    const auto options = stanzel::bench::TakeFlags(argc, argv);
    if (!options)
        return 1;
    g_dir = options->dir;
    const auto stats = stanzel::bench::GenerateAndDescribe(*options);
    g_emptyDir = g_dir / "empty-collection";
    fs::create_directories(g_emptyDir);
    const long before = stanzel::bench::CurrentRssKiB();
    g_store = std::make_unique<PoemStore>(g_dir);
    g_store->setAutoid(stats.poems + 1);
    g_store->Refresh();
    const long held = stanzel::bench::CurrentRssKiB() - before;

    stanzel::bench::RunTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintSummary(reporter, held, stats.indexBytes);

    g_store.reset();
    fs::remove_all(g_emptyDir);
    stanzel::bench::RemoveUnlessKept(*options);
    return reporter.AnyFailed() ? 1 : 0;
}
