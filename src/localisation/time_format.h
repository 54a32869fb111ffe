#pragma once

#include <string>
#include <string_view>

namespace stanzel {

// A locale's long time format (Qt's pattern letters, 'quoted' literal text,
// UTF-8) without its time-zone fields ("t" runs) and without the brackets,
// commas and blanks that only stood around them: "H:mm:ss (t)" gives
// "H:mm:ss", "h:mm:ss AP, t" gives "h:mm:ss AP", "t HH:mm:ss" gives
// "HH:mm:ss". Quoted literal text is kept as it stands.
std::string TimeFormatWithoutZone(std::string_view format);

} // namespace stanzel
