#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// Text made comparable regardless of letter case and accents: "Árvíztűrő"
// and "arvizturo" fold alike, "Straße" and "STRASSE" both to "strasse",
// "Œuvre" to "oeuvre", "Ёлка" to "елка", "Άστρο" to "αστρο". Accents are
// taken off the letters of Latin-1, Latin Extended-A and the common ones of
// Latin Extended-B, and combining accents are dropped; Greek and Cyrillic
// lose their case and accents; Latin Extended Additional loses its case only.
// Other characters stay as they are. Bytes that are not valid UTF-8 pass
// through one by one, so any input folds, and a line of the input is a line
// of the result. No character folds longer than it was.
std::string FoldText(std::string_view text);
void AppendFolded(std::string& out, std::string_view text);

// A folded text that remembers where each of its bytes came from, so that a
// match in the folded text can be marked in the original one.
struct TracedFold {
    std::string folded;
    // For each byte of `folded`, the original bytes [sourceBegin, sourceEnd)
    // of the character it was made from.
    std::vector<std::uint32_t> sourceBegin;
    std::vector<std::uint32_t> sourceEnd;
};
TracedFold FoldTraced(std::string_view text);

} // namespace stanzel
