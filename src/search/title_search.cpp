#include "search/title_search.h"

namespace stanzel {

namespace {

template <class Row, class Title>
std::optional<std::size_t> FindFirst(std::span<const Row> rows, std::string_view text,
                                     Title title) {
    if (text.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (std::string_view(title(rows[i])).find(text) != std::string_view::npos)
            return i;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::size_t> FindTitle(std::span<const PoemListEntry> rows, std::string_view text) {
    return FindFirst(rows, text, [](const PoemListEntry& row) { return row.title; });
}

std::optional<std::size_t> FindTitle(std::span<const std::string> titles, std::string_view text) {
    return FindFirst(titles, text,
                     [](const std::string& title) -> const std::string& { return title; });
}

} // namespace stanzel
