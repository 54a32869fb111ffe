#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace stanzel {

// Reads a signed 32-bit integer written as decimal with an optional sign, as
// hexadecimal after "$", or as hexadecimal after "0x"/"0X". Hexadecimal takes
// up to 32 bits, read as two's complement ("$FFFFFFFF" is -1), so colour values
// survive. Anything else, or a value out of range, gives nothing.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// Decimal text: "-" for negative numbers, no "+", no leading zeros.
std::string FormatInt32(std::int32_t value);

} // namespace stanzel
