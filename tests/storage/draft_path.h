#pragma once

#include "storage/draft_store.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace stanzel::testing {

// Where the store keeps draft `number`: "drafts/<number>.draft".
inline std::filesystem::path DraftPath(const DraftStore& store, std::uint64_t number) {
    return store.folder() / (std::to_string(number) + ".draft");
}

} // namespace stanzel::testing
