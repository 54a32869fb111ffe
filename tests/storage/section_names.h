#pragma once

#include "storage/ini_file.h"
#include "storage/profile_text.h"

#include <string>
#include <vector>

namespace stanzel::testing {

// Every section of the file as the program reads it, first to last, each name
// once: what a test compares with the sections it wrote.
inline std::vector<std::string> SectionNames(const IniFile& file) {
    const ProfileText text(file.Contents());
    std::vector<std::string> names;
    for (std::size_t i = 0; i < text.sectionCount(); ++i)
        if (text.section(i).firstOfName)
            names.emplace_back(text.name(i));
    return names;
}

} // namespace stanzel::testing
