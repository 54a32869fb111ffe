#pragma once

#include "storage/colour.h"

#include <string>

namespace stanzel {

// A colour as the exported pages' style sheets write it, derived from its
// colour text: "#rrggbb" in lower case for a colour without a name, the name in
// lower case without its "cl" prefix for a named one ("white", "btnface").
std::string htmlcolor(Colour colour);

} // namespace stanzel
