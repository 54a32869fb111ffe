#include "search/title_search.h"

namespace stanzel {

std::optional<std::size_t> FindTitle(std::span<const PoemListEntry> rows, std::string_view text) {
    if (text.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].title.find(text) != std::string_view::npos)
            return i;
    }
    return std::nullopt;
}

} // namespace stanzel
