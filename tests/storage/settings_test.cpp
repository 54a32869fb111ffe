#include "storage/ini_file.h"
#include "storage/settings.h"
#include "test_dir.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

TEST(Settings, EveryEntryHasItsDefaultWithoutAFile) {
    TestDir dir;
    const IniFile file(SettingsPath(dir.path()));
    EXPECT_EQ(ReadSetting(file, setting::autoid), 1);
    EXPECT_EQ(ReadSetting(file, setting::lastSave), "-");
    EXPECT_EQ(ReadSetting(file, setting::exportOne), 0);
    EXPECT_EQ(ReadSetting(file, setting::exportAll), 0);
    EXPECT_EQ(ReadSetting(file, setting::language), "English");
    EXPECT_EQ(ReadSetting(file, setting::languageIndex), 0);
    EXPECT_EQ(ReadSetting(file, setting::searchEngine), 0);
    for (const auto& colour : setting::colours)
        EXPECT_EQ(ReadSetting(file, colour, colour.builtIn), colour.builtIn) << colour.key;
    EXPECT_FALSE(std::filesystem::exists(SettingsPath(dir.path())));
}

TEST(Settings, ClosingWritesOnlyItsThreeSections) {
    TestDir dir;
    IniFile file(SettingsPath(dir.path()));
    WriteSetting(file, setting::language, "English");
    WriteSetting(file, setting::languageIndex, 0);
    WriteSetting(file, setting::searchEngine, 2);
    for (const auto& colour : setting::colours)
        WriteSetting(file, colour, colour.builtIn);
    EXPECT_EQ(ReadBytes(SettingsPath(dir.path())),
              "[Language]\r\ncurrent=English\r\nid=0\r\n"
              "[Search]\r\nselected=2\r\n"
              "[Colors]\r\npoemt=$00E2F8FC\r\npoet=$00E2F8FC\r\ndate=$00E2F8FC\r\n"
              "poem=$00E2F8FC\r\nlist=$00E2F8FC\r\nsearch=$00CBF2FA\r\nl1=$00CBF2FA\r\n"
              "l2=$00E2F8FC\r\n");
}

TEST(Settings, UnreadableColourKeepsTheCurrentOne) {
    TestDir dir;
    WriteBytes(SettingsPath(dir.path()),
               "[Colors]\r\npoemt=clRed\r\npoet=garbage\r\ndate=\r\npoem=255\r\n");
    const IniFile file(SettingsPath(dir.path()));
    const Colour current = 0x00123456;
    EXPECT_EQ(ReadSetting(file, setting::titleColour, current), 0x000000FFu);
    EXPECT_EQ(ReadSetting(file, setting::poetColour, current), current);
    EXPECT_EQ(ReadSetting(file, setting::dateColour, current), current);
    EXPECT_EQ(ReadSetting(file, setting::poemColour, current), 255u);
    EXPECT_EQ(ReadSetting(file, setting::listColour, current), current);
}

TEST(Settings, BadNumbersFallBack) {
    TestDir dir;
    WriteBytes(SettingsPath(dir.path()), "[Save]\r\nautoid=lots\r\n[Export]\r\none=$2\r\n");
    const IniFile file(SettingsPath(dir.path()));
    EXPECT_EQ(ReadSetting(file, setting::autoid), 1);
    EXPECT_EQ(ReadSetting(file, setting::exportOne), 2);
}

} // namespace
} // namespace stanzel
