#include "search/online_search.h"

#include "storage/ascii.h"

namespace stanzel {

namespace {

constexpr std::string_view kHttp = "http://";
constexpr std::string_view kHttps = "https://";

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

} // namespace

bool IsWebAddress(std::string_view address) {
    return StartsWithIgnoringAsciiCase(address, kHttp) ||
           StartsWithIgnoringAsciiCase(address, kHttps);
}

std::string EngineAddress(std::string_view line) {
    std::string_view address = line;
    if (const auto bar = line.find('|'); bar != std::string_view::npos)
        address = line.substr(bar + 1);
    if (IsWebAddress(address))
        return std::string(address);
    std::string prefixed(kHttp);
    prefixed += address;
    return prefixed;
}

std::optional<std::string> OnlineSearchAddress(std::string_view searchUrl, std::string_view query) {
    if (query.empty())
        return std::nullopt;
    std::string address(searchUrl);
    address += query;
    if (!IsWebAddress(address))
        return std::nullopt;
    return address;
}

bool OnlineSearch::BuildMenu(const std::filesystem::path& programDir) {
    auto lines = ReadEngineLines(programDir);
    if (!lines)
        return false;
    engineLines_ = std::move(*lines);
    menu_ = EngineMenuEntries(engineLines_);
    checked_.reset();
    return true;
}

void OnlineSearch::RebuildAfterEdit(const std::filesystem::path& programDir) {
    menu_.clear();
    checked_.reset();
    searchUrl_.clear();
    BuildMenu(programDir);
}

bool OnlineSearch::ChooseEngine(std::size_t position) {
    if (position >= menu_.size() || !menu_[position].isEngine)
        return false;
    const auto line = static_cast<std::size_t>(menu_[position].tag - 1);
    searchUrl_ = EngineAddress(engineLines_[line]);
    checked_ = position;
    selectedEngine_ = static_cast<std::int32_t>(position);
    return true;
}

void OnlineSearch::RestoreChoice(std::int32_t savedPosition) {
    selectedEngine_ = savedPosition;
    if (savedPosition < 0 || static_cast<std::size_t>(savedPosition) >= menu_.size())
        return;
    const auto position = static_cast<std::size_t>(savedPosition);
    checked_ = position;
    ChooseEngine(position);
}

std::optional<std::string> OnlineSearch::AddressFor(std::string_view query) const {
    return OnlineSearchAddress(searchUrl_, query);
}

} // namespace stanzel
