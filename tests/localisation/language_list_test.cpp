#include "localisation/language_list.h"
#include "test_dir.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace stanzel {
namespace {

using testing::TestDir;
using testing::WriteBytes;

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ListLanguages, EveryLngEntryWithItsEndingRemoved) {
    TestDir dir;
    std::filesystem::create_directories(dir / "lang" / "Folder.lng");
    for (const char* name :
         {"Deutsch.lng", "Magyar.LNG", "Twice.lng.lng", "notes.txt", "lng", ".lng.bak", "Mid.lngx"})
        WriteBytes(dir / "lang" / name, "");
    // The folder's own order is kept; sorted here only to compare.
    EXPECT_EQ(Sorted(ListLanguages(dir.path())),
              (std::vector<std::string>{"Deutsch", "Folder", "Magyar.LNG", "Twice"}));
}

TEST(ListLanguages, NoFolderNoLanguages) {
    TestDir dir;
    EXPECT_TRUE(ListLanguages(dir.path()).empty());
    WriteBytes(dir / "lang", "a file, not a folder");
    EXPECT_TRUE(ListLanguages(dir.path()).empty());
}

} // namespace
} // namespace stanzel
