#pragma once

#include "collection_generator.h"

#include <benchmark/benchmark.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace stanzel::bench {

// The collection's flags (see TakeCollectionOptions), then the benchmark
// library's; nothing, with the reason printed, when either is wrong.
std::optional<CollectionOptions> TakeFlags(int& argc, char** argv);

// Resident memory of this process: the most it has held, and what it holds now.
long PeakRssKiB();
long CurrentRssKiB();

// Makes the collection the options ask for and prints its size and how long
// it took, so that every benchmark's figures say what they were measured on.
CollectionStats GenerateAndDescribe(const CollectionOptions& options);

// A file read whole by a plain program: open, fstat, read, close. The floor
// that reading through the program's own layers is held to.
std::string ReadWholePlain(const std::filesystem::path& path);

// A file put in place by a plain program: `bytes` written `times` over into a
// new file beside `target`, flushed, renamed over it, the folder flushed. The
// floor that writing through the program's own layers is held to.
void ReplacePlain(const std::filesystem::path& target, std::string_view bytes,
                  std::size_t times = 1);

// The machine's load and its cores, printed beside a benchmark's figures,
// since a shared machine's other work moves them.
void PrintMachineLoad();

// Removes the collection unless the user asked to keep it.
void RemoveUnlessKept(const CollectionOptions& options);

// Prints the usual console table and keeps the times of every run, so that a
// benchmark can end with ratios and targets taken within the same run. Runs
// are named "function" or "function/args", without the flags the library
// appends.
class RunTimesReporter : public benchmark::ConsoleReporter {
public:
    struct Times {
        double real = 0; // seconds
        double cpu = 0;
    };

    void ReportRuns(const std::vector<Run>& runs) override;

    // Zero times for a run that did not take place.
    Times Last(const std::string& name) const;
    // With --benchmark_repetitions the fastest run is the one least
    // disturbed by other work on the machine.
    Times Fastest(const std::string& name) const;
    double SlowestRealSeconds() const { return slowestReal_; }
    bool AnyFailed() const { return failed_; }

private:
    struct Kept {
        Times last;
        Times fastest;
    };
    std::map<std::string, Kept> runs_;
    double slowestReal_ = 0;
    bool failed_ = false;
};

} // namespace stanzel::bench
