#pragma once

// Runs a writing command with one step of its file work failing, for each
// time the command reaches that step, and checks that a reported failure
// changed nothing and a success wrote the new content.

#include "storage/atomic_file.h"
#include "test_dir.h"

#include <cerrno>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace stanzel::testing {

// Every entry below `root` by its relative path: a file's bytes, or what
// kind of entry stands there.
inline std::map<std::string, std::string> FolderSnapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> snapshot;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        if (entry.is_symlink())
            snapshot[name] = "<link>";
        else if (entry.is_directory())
            snapshot[name] = "<folder>";
        else if (entry.is_regular_file())
            snapshot[name] = ReadBytes(entry.path());
        else
            snapshot[name] = "<other>";
    }
    return snapshot;
}

inline constexpr FileStep kFileSteps[] = {FileStep::Create, FileStep::Write, FileStep::Flush,
                                          FileStep::Rename, FileStep::Remove};

inline std::string StepName(FileStep step) {
    switch (step) {
    case FileStep::Create:
        return "Create";
    case FileStep::Write:
        return "Write";
    case FileStep::Flush:
        return "Flush";
    case FileStep::Rename:
        return "Rename";
    case FileStep::Remove:
        return "Remove";
    }
    return "?";
}

// A command that writes files. `prepare` makes the files it starts from in
// the folder and returns the command ready to run, which gives the error it
// reported ("" for none); `expectWritten` checks its new content.
struct WritingCommand {
    std::string name;
    std::function<std::function<std::string()>(const std::filesystem::path& dir)> prepare;
    std::function<void(const std::filesystem::path& dir)> expectWritten;
};

// Fails the first time the command reaches `step`, then the second, and so
// on, each run on fresh files, until a run no longer reaches it; that last
// run must succeed. Returns how many failures were injected.
inline int RunWithEachFault(const WritingCommand& command, FileStep step) {
    constexpr int kMostSteps = 20;
    for (int occurrence = 1; occurrence <= kMostSteps; ++occurrence) {
        SCOPED_TRACE(StepName(step) + " number " + std::to_string(occurrence) + " fails");
        TestDir dir;
        const auto run = command.prepare(dir.path());
        const auto before = FolderSnapshot(dir.path());
        file_faults::Arm(step, occurrence, EIO);
        const std::string error = run();
        const bool fired = file_faults::Fired();
        file_faults::Disarm();
        if (!fired) {
            EXPECT_EQ(error, "");
            command.expectWritten(dir.path());
            return occurrence - 1;
        }
        EXPECT_NE(error, "") << "a failure reported as success";
        EXPECT_EQ(FolderSnapshot(dir.path()), before) << "a reported failure changed files";
        if (::testing::Test::HasFailure())
            return occurrence;
    }
    ADD_FAILURE() << "the command reached the step more than " << kMostSteps << " times";
    return kMostSteps;
}

// A row of a table of faults: a command of a table, by position, and a step.
using FaultRow = std::tuple<std::size_t, FileStep>;

// "SaveNew_Rename" for the row of command "SaveNew" and step Rename.
inline std::string FaultRowName(const std::vector<WritingCommand>& commands,
                                const ::testing::TestParamInfo<FaultRow>& row) {
    return commands[std::get<0>(row.param)].name + "_" + StepName(std::get<1>(row.param));
}

// Every command of a table of `count` with every step.
inline auto EveryFaultRow(std::size_t count) {
    return ::testing::Combine(::testing::Range<std::size_t>(0, count),
                              ::testing::ValuesIn(kFileSteps));
}

// The error text of a command that reports failure by throwing `Error`.
template <class Error, class Command> std::string ErrorOf(Command command) {
    try {
        command();
    } catch (const Error& error) {
        return error.what();
    }
    return {};
}

} // namespace stanzel::testing
