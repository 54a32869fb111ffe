// Export and Export all with each step of their file work failing in turn: a
// reported failure leaves the document and the settings file as they were.

#include "export/export_commands.h"
#include "export_test_support.h"
#include "file_faults.h"
#include "storage/poem_store.h"
#include "storage/storage_error.h"

#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::ErrorOf;
using testing::ReadBytes;
using testing::WriteBytes;
using testing::WritingCommand;

constexpr std::string_view kSettings = "[Export]\r\none=3\r\nall=3\r\n";

// A collection of one poem, a settings file and an older export to replace
// (or none, when `replacing` is false).
ExportPrompts Prepare(const fs::path& dir, bool replacing) {
    fs::create_directories(dir / "poems");
    fs::create_directories(dir / "out");
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Rain\r\npoet=X\r\ndate=1999\r\n");
    WriteBytes(dir / "poems" / "1.poem", "a\r\nb");
    WriteBytes(dir / "settings.ini", kSettings);
    if (replacing)
        WriteBytes(dir / "out" / "poems.txt", "an older export");
    ExportPrompts prompts;
    prompts.chooseFile = [dir](const std::vector<FilterEntry>&, int) {
        return std::optional<SaveChoice>(SaveChoice{dir / "out" / "poems", 1});
    };
    prompts.confirmOverwrite = [](const fs::path&) { return true; };
    return prompts;
}

WritingCommand ExportOne(bool replacing) {
    return {replacing ? "ExportOneReplacing" : "ExportOneNew",
            [replacing](const fs::path& dir) -> std::function<std::string()> {
                const ExportPrompts prompts = Prepare(dir, replacing);
                return [dir, prompts] {
                    const EditorPoem poem{"Rain", "X", "1999", "a\r\nb", {"a", "b"}};
                    return ErrorOf<StorageError>(
                        [&] { ExportPoem(poem, testing::EnglishContext(), dir, 3, prompts); });
                };
            },
            [](const fs::path& dir) {
                EXPECT_TRUE(ReadBytes(dir / "out" / "poems.txt").starts_with("### Rain ###"));
                EXPECT_EQ(ReadBytes(dir / "settings.ini"), "[Export]\r\none=1\r\nall=3\r\n");
            }};
}

WritingCommand ExportAll(bool replacing) {
    return {replacing ? "ExportAllReplacing" : "ExportAllNew",
            [replacing](const fs::path& dir) -> std::function<std::string()> {
                const ExportPrompts prompts = Prepare(dir, replacing);
                return [dir, prompts] {
                    return ErrorOf<StorageError>(
                        [&] {
                            PoemStore store(dir);
                            ExportCollection(store, dir, testing::EnglishContext(), 3, prompts);
                        });
                };
            },
            [](const fs::path& dir) {
                EXPECT_TRUE(ReadBytes(dir / "out" / "poems.txt").starts_with("### Rain ###"));
                EXPECT_EQ(ReadBytes(dir / "settings.ini"), "[Export]\r\none=3\r\nall=1\r\n");
            }};
}

const std::vector<WritingCommand>& Commands() {
    static const std::vector<WritingCommand> commands{ExportOne(false), ExportOne(true),
                                                      ExportAll(false), ExportAll(true)};
    return commands;
}

class ExportFaultTest : public ::testing::TestWithParam<testing::FaultRow> {};

TEST_P(ExportFaultTest, FailureChangesNothingAndSuccessWritesBoth) {
    const auto [command, step] = GetParam();
    testing::RunWithEachFault(Commands()[command], step);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, ExportFaultTest, testing::EveryFaultRow(Commands().size()),
                         [](const auto& row) { return testing::FaultRowName(Commands(), row); });

// A writable file in a folder where no other file can be made (a shared
// folder, a file the user was given to fill) is written in place.
TEST(WriteExportFile, WritesInPlaceWhenNothingCanBeMadeBesideIt) {
    testing::TestDir dir;
    ::chmod(dir.path().c_str(), 0755);
    fs::create_directory(dir / "shared");
    WriteBytes(dir / "shared" / "given.txt", "old and longer than the new");
    WriteBytes(dir / "shared" / "locked.txt", "old");
    ::chmod((dir / "shared" / "given.txt").c_str(), 0666);
    ::chmod((dir / "shared" / "locked.txt").c_str(), 0444);
    ::chmod((dir / "shared").c_str(), 0555);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        const bool written = ErrorOf<StorageError>([&] {
                                 WriteExportFile(dir / "shared" / "given.txt", "new");
                             }).empty();
        const bool refused = !ErrorOf<StorageError>([&] {
                                  WriteExportFile(dir / "shared" / "locked.txt", "new");
                              }).empty();
        const bool notMade = !ErrorOf<StorageError>([&] {
                                  WriteExportFile(dir / "shared" / "other.txt", "new");
                              }).empty();
        ::_exit(written && refused && notMade ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(ReadBytes(dir / "shared" / "given.txt"), "new");
    EXPECT_EQ(ReadBytes(dir / "shared" / "locked.txt"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "shared"), fs::directory_iterator()), 2);
}

} // namespace
} // namespace stanzel
