#pragma once

#include <QString>
#include <string_view>

namespace stanzel {

// A dictionary's language in that language itself, for the Spelling menu:
// "English (United States)", "Deutsch (Deutschland)", "magyar
// (Magyarország)". A code the toolkit does not know is shown as it stands.
QString DictionaryName(std::string_view code);

} // namespace stanzel
