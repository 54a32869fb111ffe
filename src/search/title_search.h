#pragma once

#include "storage/poem_store.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace stanzel {

// The row to select for a search of the poem list's titles: the first one, from
// the top, whose title holds `text` exactly as typed (letter case counts,
// nothing is trimmed). Every search starts again at the top. Nothing when no
// title holds it; the empty text, which cancelling the prompt also gives,
// occurs in no title.
std::optional<std::size_t> FindTitle(std::span<const PoemListEntry> rows, std::string_view text);

} // namespace stanzel
