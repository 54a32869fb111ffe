#include "search/engine_list.h"
#include "storage/storage_error.h"
#include "test_dir.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

using namespace std::string_view_literals;
using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

// "engine 'A' #1", "separator '-' #2": what the menu shows, and the line each
// entry came from.
std::vector<std::string> Describe(const std::vector<EngineMenuEntry>& entries) {
    std::vector<std::string> described;
    for (const auto& entry : entries) {
        described.push_back((entry.isEngine ? "engine '" : "separator '") + entry.caption + "' #" +
                            std::to_string(entry.tag));
    }
    return described;
}

struct MenuCase {
    const char* name;
    std::string_view file;
    std::vector<std::string> entries;
};

class EngineMenuFromFile : public ::testing::TestWithParam<MenuCase> {};

TEST_P(EngineMenuFromFile, GivesEntriesWithTheirLineNumbers) {
    EXPECT_EQ(Describe(EngineMenuEntries(EngineLinesFromBytes(GetParam().file))),
              GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    LineKinds, EngineMenuFromFile,
    ::testing::Values(MenuCase{"EngineSeparatorEngine",
                               "A|x\r\n\r\nB|y",
                               {"engine 'A' #1", "separator '-' #2", "engine 'B' #3"}},
                      MenuCase{"TextWithoutBarUsesUpItsNumber",
                               "A|x\r\nnote\r\nB|y",
                               {"engine 'A' #1", "engine 'B' #3"}},
                      MenuCase{"LineOfBlanksIsNoSeparator",
                               "A|x\r\n   \r\nB|y",
                               {"engine 'A' #1", "engine 'B' #3"}},
                      MenuCase{"EmptyName", "|x", {"engine '' #1"}},
                      MenuCase{"NameOfAMinus", "-|x", {"engine '-' #1"}},
                      MenuCase{"NameIsUpToTheFirstBar", "a|b|c", {"engine 'a' #1"}},
                      MenuCase{"NameKeepsItsBlanks", " Web |x", {"engine ' Web ' #1"}},
                      MenuCase{"EmptyFile", "", {}},
                      MenuCase{"OnlyABreakIsOneEmptyLine", "\r\n", {"separator '-' #1"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    LineBreaks, EngineMenuFromFile,
    ::testing::Values(
        MenuCase{"LoneCr", "A|x\r\rB|y\r", {"engine 'A' #1", "separator '-' #2", "engine 'B' #3"}},
        MenuCase{"LoneLf", "A|x\n\nB|y\n", {"engine 'A' #1", "separator '-' #2", "engine 'B' #3"}},
        MenuCase{"LfThenCrIsTwoBreaks",
                 "A|x\n\rB|y",
                 {"engine 'A' #1", "separator '-' #2", "engine 'B' #3"}},
        MenuCase{"TrailingBreakAddsNoSeparator", "A|x\r\n", {"engine 'A' #1"}},
        MenuCase{"TwoTrailingBreaksAddOne", "A|x\r\n\r\n", {"engine 'A' #1", "separator '-' #2"}},
        MenuCase{"NulEndsTheText", "A|x\r\nB|y\0\r\nC|z"sv, {"engine 'A' #1", "engine 'B' #2"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The editor's box holds what the file holds; Ok writes it back.
struct EditorCase {
    const char* name;
    std::string_view file;
    std::string_view box;
    std::string_view written; // Ok on the unchanged box
};

class EngineEditorText : public ::testing::TestWithParam<EditorCase> {};

TEST_P(EngineEditorText, OkOnAnUnchangedBoxKeepsEveryLine) {
    const auto& c = GetParam();
    EXPECT_EQ(EditorTextFromFile(c.file), c.box);
    EXPECT_EQ(FileTextFromEditor(c.box), c.written);
    EXPECT_EQ(EngineLinesFromBytes(c.written), EngineLinesFromBytes(c.file));
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, EngineEditorText,
    ::testing::Values(EditorCase{"CrLf", "A|x\r\nB|y", "A|x\nB|y", "A|x\r\nB|y"},
                      EditorCase{"LoneCr", "A|x\r\rB|y", "A|x\n\nB|y", "A|x\r\n\r\nB|y"},
                      EditorCase{"LoneLf", "A|x\n\nB|y", "A|x\n\nB|y", "A|x\r\n\r\nB|y"},
                      EditorCase{"LfThenCr", "A|x\n\rB|y", "A|x\n\nB|y", "A|x\r\n\r\nB|y"},
                      EditorCase{"TrailingBreakStays", "A|x\r\n", "A|x\n", "A|x\r\n"},
                      EditorCase{"NulEndsTheText", "A|x\r\nB\0junk"sv, "A|x\nB", "A|x\r\nB"},
                      EditorCase{"Empty", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EngineEditorText, OkAddsNoBreakAfterTheLastLine) {
    EXPECT_EQ(FileTextFromEditor("A|x\r\nB|y\rC|z\nD"), "A|x\r\nB|y\r\nC|z\r\nD");
}

TEST(EngineFile, MissingFileGivesNoLinesAndIsNotCreated) {
    TestDir dir;
    EXPECT_FALSE(ReadEngineLines(dir.path()));
    EXPECT_FALSE(std::filesystem::exists(EngineFilePath(dir.path())));
}

TEST(EngineFile, OpeningTheEditorCreatesAMissingFileEmpty) {
    TestDir dir;
    EXPECT_FALSE(OpenEngineEditor(dir.path()));
    ASSERT_TRUE(std::filesystem::exists(EngineFilePath(dir.path())));
    EXPECT_EQ(std::filesystem::file_size(EngineFilePath(dir.path())), 0u);
    EXPECT_EQ(OpenEngineEditor(dir.path()), "");
}

TEST(EngineFile, OkRewritesTheFileWithCrLf) {
    TestDir dir;
    WriteBytes(EngineFilePath(dir.path()), "A|x\n\nB|y\n");
    const auto box = OpenEngineEditor(dir.path());
    ASSERT_TRUE(box);
    SaveEngineEditor(dir.path(), *box);
    EXPECT_EQ(ReadBytes(EngineFilePath(dir.path())), "A|x\r\n\r\nB|y\r\n");
    EXPECT_EQ(ReadEngineLines(dir.path()), (std::vector<std::string>{"A|x", "", "B|y"}));
}

TEST(EngineFile, FailuresNameTheFile) {
    TestDir dir;
    std::filesystem::create_directory(EngineFilePath(dir.path()));
    const std::string path = EngineFilePath(dir.path()).string();
    auto messageOf = [](auto&& operation) -> std::string {
        try {
            operation();
        } catch (const StorageError& error) {
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf([&] {
                  ReadEngineLines(dir.path());
              }).rfind("Cannot open file \"" + path + "\". ", 0),
              0u);
    EXPECT_EQ(messageOf([&] {
                  OpenEngineEditor(dir.path());
              }).rfind("Cannot open file \"" + path + "\". ", 0),
              0u);

    const auto missingDir = dir / "gone";
    const std::string target = EngineFilePath(missingDir).string();
    EXPECT_EQ(messageOf([&] {
                  SaveEngineEditor(missingDir, "A|x");
              }).rfind("Cannot create file \"" + target + "\". ", 0),
              0u);
}

} // namespace
} // namespace stanzel
