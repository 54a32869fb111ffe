#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace stanzel {

// The languages the Language menu offers besides the built-in English: one
// per entry of the language folder whose name ends in ".lng" in any letter
// case, in the order the folder lists them. A language's name is the entry's
// name with every ".lng" (in lower case) removed, so "Deutsch.LNG" keeps its
// ending and names a file that does not exist. A missing folder gives none.
std::vector<std::string> ListLanguages(const std::filesystem::path& programDir);

// The language as its speakers name it, for the Language menu: what its file
// gives under "languagename", else the own name of a language known by its
// English name ("German" is "Deutsch"), else the name itself.
std::string LanguageOwnName(const std::filesystem::path& programDir, const std::string& language);

} // namespace stanzel
