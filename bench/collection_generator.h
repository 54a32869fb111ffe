#pragma once

#include "storage/poem_store.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>

namespace stanzel::bench {

// A poem of the kind users keep: a title of a few words, a poet, a free-text
// date and a dozen short lines, with some accented letters in UTF-8.
PoemRecord MakePoem(std::mt19937& rng);

// Poems of the size users' collections hold: a title of 10 to 60 characters
// and 5 to 40 lines of 2 to 8 words, about 670 bytes of text.
PoemRecord MakeRealisticPoem(std::mt19937& rng);

enum class PoemSize { Short, Realistic };

struct CollectionStats {
    int poems = 0;
    std::size_t indexBytes = 0;
    std::size_t textBytes = 0;
};

// Writes poems.dmp with sections 1..count and poems/<id>.poem for each, laid
// out as the program writes them, into `programDir` (created when missing).
// The same seed gives the same bytes.
CollectionStats GenerateCollection(const std::filesystem::path& programDir, int count,
                                   std::uint32_t seed, PoemSize size = PoemSize::Short);

// Where a benchmark's collection goes and how large it is, from the flags
// --poems=N, --poem_size=realistic|short and --collection_dir=DIR, which are
// taken out of argv before the benchmark library sees the rest. Without a
// directory a fresh temporary one is made, and `keep` is false so the caller
// removes it afterwards. --use_collection=DIR measures a collection made
// elsewhere (by hand, or by the realistic collection tool) as it stands:
// nothing is generated, and it is kept.
struct CollectionOptions {
    int poems = 100000;
    PoemSize size = PoemSize::Realistic;
    std::filesystem::path dir;
    bool keep = false;
    bool existing = false;
};

const char* PoemSizeName(PoemSize size);

// Nothing, with the reason printed, when no temporary directory can be made.
std::optional<CollectionOptions> TakeCollectionOptions(int& argc, char** argv);

} // namespace stanzel::bench
