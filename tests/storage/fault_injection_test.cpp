// Every writing command of the store and the settings file, with each step
// of its file work failing in turn: a reported failure leaves every file as it
// was, and a success writes the new content.

#include "file_faults.h"
#include "storage/ini_file.h"
#include "storage/poem_store.h"
#include "storage/settings.h"
#include "storage/storage_error.h"

#include <memory>
#include <tuple>
#include <vector>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::ErrorOf;
using testing::ReadBytes;
using testing::WriteBytes;
using testing::WritingCommand;

constexpr std::string_view kIndex = "[1]\r\ntitle=One\r\npoet=A\r\ndate=1901\r\n"
                                    "[2]\r\ntitle=Two\r\npoet=B\r\ndate=1902\r\n";
constexpr std::string_view kSettings = "[Save]\r\nlast=yesterday\r\nautoid=3\r\n"
                                       "[Colors]\r\npoem=clRed\r\n";

// Two stored poems and a settings file; the store's counter as read at start.
std::shared_ptr<PoemStore> Collection(const fs::path& dir) {
    fs::create_directory(dir / "poems");
    WriteBytes(dir / "poems.dmp", kIndex);
    WriteBytes(dir / "poems" / "1.poem", "first\r\ntext");
    WriteBytes(dir / "poems" / "2.poem", "second");
    WriteBytes(dir / "settings.ini", kSettings);
    auto store = std::make_shared<PoemStore>(dir);
    store->setAutoid(3);
    return store;
}

std::function<std::string()> Saving(const fs::path& dir, std::int32_t id) {
    auto store = Collection(dir);
    return [store, id] {
        return ErrorOf<StorageError>([&] { store->SavePoem(id, "New", "P", "D", "new text"); });
    };
}

const std::vector<WritingCommand>& Commands() {
    static const std::vector<WritingCommand> commands{
        {"SaveNew", [](const fs::path& dir) { return Saving(dir, 0); },
         [](const fs::path& dir) {
             EXPECT_EQ(ReadBytes(dir / "poems.dmp"),
                       std::string(kIndex) + "[3]\r\ntitle=New\r\npoet=P\r\ndate=D\r\n");
             EXPECT_EQ(ReadBytes(dir / "poems" / "3.poem"), "new text");
         }},
        {"SaveExisting", [](const fs::path& dir) { return Saving(dir, 1); },
         [](const fs::path& dir) {
             const PoemRecord poem = PoemStore(dir).LoadPoem("1");
             EXPECT_EQ(poem.title + poem.poet + poem.date + poem.text, "NewPDnew text");
         }},
        {"Delete",
         [](const fs::path& dir) -> std::function<std::string()> {
             auto store = Collection(dir);
             return [store] { return ErrorOf<StorageError>([&] { store->DeletePoem("1"); }); };
         },
         [](const fs::path& dir) {
             EXPECT_EQ(ReadBytes(dir / "poems.dmp"), "[2]\r\ntitle=Two\r\npoet=B\r\ndate=1902\r\n");
             EXPECT_FALSE(fs::exists(dir / "poems" / "1.poem"));
         }},
        // As the window saves: the time and counter of the last save go with the poem.
        {"SaveNewWithSettings",
         [](const fs::path& dir) -> std::function<std::string()> {
             auto store = Collection(dir);
             return [store, dir] {
                 return ErrorOf<StorageError>([&] {
                     IniFile settings(SettingsPath(dir));
                     settings.HoldWrites();
                     WriteSetting(settings, setting::lastSave, "now");
                     store->SavePoem(0, "New", "P", "D", "new text", &settings);
                 });
             };
         },
         [](const fs::path& dir) {
             EXPECT_EQ(ReadBytes(dir / "poems" / "3.poem"), "new text");
             EXPECT_EQ(ReadBytes(dir / "settings.ini"),
                       "[Save]\r\nlast=now\r\nautoid=4\r\n[Colors]\r\npoem=clRed\r\n");
         }},
        // As the window closes: several sections in one replacement.
        {"CloseSettings",
         [](const fs::path& dir) -> std::function<std::string()> {
             Collection(dir);
             return [dir] {
                 return ErrorOf<StorageError>([&] {
                     IniFile settings(SettingsPath(dir));
                     settings.HoldWrites();
                     WriteSetting(settings, setting::language, "German");
                     WriteSetting(settings, setting::searchEngine, 2);
                     WriteSetting(settings, setting::poemColour, kBoxColour);
                     settings.WriteHeld();
                 });
             };
         },
         [](const fs::path& dir) {
             EXPECT_EQ(ReadBytes(dir / "settings.ini"),
                       "[Save]\r\nlast=yesterday\r\nautoid=3\r\n[Colors]\r\npoem=$00E2F8FC\r\n"
                       "[Language]\r\ncurrent=German\r\n[Search]\r\nselected=2\r\n");
         }},
    };
    return commands;
}

class StoreFaultTest : public ::testing::TestWithParam<testing::FaultRow> {};

TEST_P(StoreFaultTest, FailureChangesNothingAndSuccessWritesAll) {
    const auto [command, step] = GetParam();
    const int injected = testing::RunWithEachFault(Commands()[command], step);
    if (step != FileStep::Remove) {
        EXPECT_GT(injected, 0) << "the command never reached the step";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, StoreFaultTest, testing::EveryFaultRow(Commands().size()),
                         [](const auto& row) { return testing::FaultRowName(Commands(), row); });

} // namespace
} // namespace stanzel
