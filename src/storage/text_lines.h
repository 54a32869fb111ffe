#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// Turns every line break into CR LF: a lone CR, a lone LF and an LF CR pair
// each become one CR LF; CR LF stays. Nothing is added at the end.
std::string NormaliseLineBreaks(std::string_view text);

// Splits text into lines. A line ends at CR LF, at a lone LF or at a lone CR;
// a break at the very end makes no extra empty line.
std::vector<std::string> SplitLines(std::string_view text);

// Joins lines with CR LF after every line, as lists of lines are written.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

} // namespace stanzel
