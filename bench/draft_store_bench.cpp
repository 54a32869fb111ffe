// Keeping a draft and listing the drafts, with a folder that holds the full
// hundred, beside the floor a draft cannot beat: replacing one file of the
// same size atomically in the same folder.

#include "collection_generator.h"
#include "storage/atomic_file.h"
#include "storage/draft_store.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using stanzel::DraftStore;
using stanzel::PoemRecord;

constexpr const char* kTime = "2026-12-08 14:05:09";

struct Folder {
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "stanzel-bench-drafts-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        dir = pattern;
        std::mt19937 rng(20261208);
        for (int i = 0; i < 64; ++i)
            poems.push_back(stanzel::bench::MakePoem(rng));
        DraftStore store(dir);
        for (std::size_t i = 0; i < DraftStore::kKept; ++i)
            store.Keep(poems[i % poems.size()], kTime);
    }
    ~Folder() { fs::remove_all(dir); }

    fs::path dir;
    std::vector<PoemRecord> poems;
};

Folder& TheFolder() {
    static Folder folder;
    return folder;
}

void BM_ReplaceOneFileOfADraftsSize(benchmark::State& state) {
    Folder& folder = TheFolder();
    const fs::path path = folder.dir / "drafts" / "baseline";
    std::size_t next = 0;
    for (auto _ : state) {
        const PoemRecord& poem = folder.poems[next++ % folder.poems.size()];
        const auto error = stanzel::ReplaceFileAtomically(
            path, poem.title + poem.poet + poem.date + poem.text + std::string(120, ' '));
        benchmark::DoNotOptimize(error);
    }
    fs::remove(path);
}
BENCHMARK(BM_ReplaceOneFileOfADraftsSize)->Unit(benchmark::kMillisecond);

void BM_KeepADraftBesideAHundred(benchmark::State& state) {
    Folder& folder = TheFolder();
    DraftStore store(folder.dir);
    std::size_t next = 0;
    for (auto _ : state) {
        const auto kept = store.Keep(folder.poems[next++ % folder.poems.size()], kTime);
        if (kept.error)
            state.SkipWithError(kept.error.message().c_str());
    }
}
BENCHMARK(BM_KeepADraftBesideAHundred)->Unit(benchmark::kMillisecond);

void BM_ListAHundredDrafts(benchmark::State& state) {
    DraftStore store(TheFolder().dir);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.List());
}
BENCHMARK(BM_ListAHundredDrafts)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
