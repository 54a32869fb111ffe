#pragma once

#include "storage/poem_store.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>

namespace stanzel::bench {

// A poem of the kind users keep: a title of a few words, a poet, a free-text
// date and a dozen short lines, with some accented letters in UTF-8.
PoemRecord MakePoem(std::mt19937& rng);

struct CollectionStats {
    int poems = 0;
    std::size_t indexBytes = 0;
    std::size_t textBytes = 0;
};

// Writes poems.dmp with sections 1..count and poems/<id>.poem for each, laid
// out as the program writes them, into `programDir` (created when missing).
// The same seed gives the same bytes.
CollectionStats GenerateCollection(const std::filesystem::path& programDir, int count,
                                   std::uint32_t seed);

} // namespace stanzel::bench
