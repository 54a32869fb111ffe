#include "localisation/time_format.h"

#include <array>
#include <utility>
#include <vector>

namespace stanzel {

namespace {

// One piece of a format: a quoted literal (quotes included), or one unquoted
// character (a UTF-8 sequence).
struct Piece {
    std::string_view text;
    bool quoted = false;
};

std::vector<Piece> Pieces(std::string_view format) {
    std::vector<Piece> pieces;
    std::size_t i = 0;
    while (i < format.size()) {
        std::size_t end = i + 1;
        if (format[i] == '\'') {
            // '' inside a literal is a quote character, not its end.
            while (end < format.size()) {
                if (format[end] == '\'' && (end + 1 >= format.size() || format[end + 1] != '\'')) {
                    ++end;
                    break;
                }
                end += format[end] == '\'' ? 2 : 1;
            }
            pieces.push_back({format.substr(i, end - i), true});
        } else {
            while (end < format.size() && (static_cast<unsigned char>(format[end]) & 0xC0) == 0x80)
                ++end;
            pieces.push_back({format.substr(i, end - i), false});
        }
        i = end;
    }
    return pieces;
}

// Blanks (ordinary, no-break and narrow no-break) and commas (Latin, Arabic,
// ideographic) that only separate the zone from the time.
bool IsFiller(const Piece& piece) {
    static constexpr std::array<std::string_view, 6> kFillers{
        " ", "\xC2\xA0", "\xE2\x80\xAF", ",", "\xD8\x8C", "\xE3\x80\x81"};
    if (piece.quoted)
        return false;
    for (const auto filler : kFillers)
        if (piece.text == filler)
            return true;
    return false;
}

bool AreBrackets(const Piece& open, const Piece& close) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kPairs{{
        {"(", ")"}, {"[", "]"}, {"\xEF\xBC\x88", "\xEF\xBC\x89"} // ( ) [ ] and full-width ( )
    }};
    if (open.quoted || close.quoted)
        return false;
    for (const auto& [left, right] : kPairs)
        if (open.text == left && close.text == right)
            return true;
    return false;
}

} // namespace

std::string TimeFormatWithoutZone(std::string_view format) {
    std::vector<Piece> pieces = Pieces(format);
    for (;;) {
        std::size_t zone = 0;
        while (zone < pieces.size() && (pieces[zone].quoted || pieces[zone].text != "t"))
            ++zone;
        if (zone == pieces.size())
            break;
        std::size_t end = zone;
        while (end < pieces.size() && !pieces[end].quoted && pieces[end].text == "t")
            ++end;
        // Widen over the separators around the zone and any brackets that
        // held nothing else.
        const std::size_t zoneEnd = end;
        std::size_t begin = zone;
        for (;;) {
            while (begin > 0 && IsFiller(pieces[begin - 1]))
                --begin;
            while (end < pieces.size() && IsFiller(pieces[end]))
                ++end;
            if (begin > 0 && end < pieces.size() && AreBrackets(pieces[begin - 1], pieces[end])) {
                --begin;
                ++end;
                continue;
            }
            break;
        }
        // Where separators stood on both sides, between two parts of the time,
        // one blank still separates them.
        const bool between = begin > 0 && end < pieces.size() && begin < zone && end > zoneEnd;
        pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(begin),
                     pieces.begin() + static_cast<std::ptrdiff_t>(end));
        if (between)
            pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(begin), Piece{" ", false});
    }
    std::string result;
    for (const Piece& piece : pieces)
        result += piece.text;
    return result;
}

} // namespace stanzel
