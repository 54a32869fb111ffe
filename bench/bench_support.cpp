#include "bench_support.h"

#include "storage/atomic_file.h"
#include "storage/profile_text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace stanzel::bench {

std::optional<CollectionOptions> TakeFlags(int& argc, char** argv) {
    auto options = TakeCollectionOptions(argc, argv);
    if (!options)
        return std::nullopt;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return std::nullopt;
    return options;
}

long PeakRssKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentRssKiB() {
    long pages = 0;
    long resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

namespace {

CollectionStats DescribeExisting(const std::filesystem::path& dir) {
    CollectionStats stats;
    const auto index = ReadWholeFile(dir / "poems.dmp");
    stats.indexBytes = index.bytes.size();
    stats.poems = static_cast<int>(ProfileText(index.bytes).sectionCount());
    std::error_code error;
    for (std::filesystem::directory_iterator it(dir / "poems", error), end; !error && it != end;
         it.increment(error)) {
        std::error_code sizeError;
        const auto size = it->file_size(sizeError);
        stats.textBytes += sizeError ? 0 : size;
    }
    return stats;
}

} // namespace

std::string ReadWholePlain(const std::filesystem::path& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0)
        return bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    for (ssize_t got = 1; done < bytes.size() && got > 0; done += static_cast<std::size_t>(got))
        got = std::max<ssize_t>(0, ::read(fd, bytes.data() + done, bytes.size() - done));
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

void ReplacePlain(const std::filesystem::path& target, std::string_view bytes, std::size_t times) {
    const std::filesystem::path temporary = target.parent_path() / ".floor.tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (std::size_t time = 0; time < times; ++time) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (put <= 0)
                break;
            done += static_cast<std::size_t>(put);
        }
    }
    ::fsync(fd);
    ::close(fd);
    ::rename(temporary.c_str(), target.c_str());
    const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(folder);
    ::close(folder);
}

CollectionStats GenerateAndDescribe(const CollectionOptions& options) {
    if (options.existing) {
        const auto stats = DescribeExisting(options.dir);
        std::printf("collection: %d poems as found in %s, index %zu bytes, texts %zu bytes\n",
                    stats.poems, options.dir.c_str(), stats.indexBytes, stats.textBytes);
        return stats;
    }
    const auto started = std::chrono::steady_clock::now();
    const auto stats = GenerateCollection(options.dir, options.poems, 1, options.size);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("collection: %d %s poems in %s, index %zu bytes, texts %zu bytes, made in %.1f "
                "s\n",
                stats.poems, PoemSizeName(options.size), options.dir.c_str(), stats.indexBytes,
                stats.textBytes, seconds);
    return stats;
}

void PrintMachineLoad() {
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) != 3)
        return;
    std::printf("machine load (1, 5 and 15 minutes): %.2f %.2f %.2f on %ld cores\n", load[0],
                load[1], load[2], ::sysconf(_SC_NPROCESSORS_ONLN));
}

void RemoveUnlessKept(const CollectionOptions& options) {
    if (options.keep)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(options.dir, ignored);
}

void RunTimesReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration)
            continue;
        if (run.error_occurred) {
            failed_ = true;
            continue;
        }
        std::string name = run.run_name.function_name;
        if (!run.run_name.args.empty())
            name += "/" + run.run_name.args;
        const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
        const Times times{run.GetAdjustedRealTime() / unit, run.GetAdjustedCPUTime() / unit};
        const auto [slot, added] = runs_.try_emplace(name, Kept{times, times});
        slot->second.last = times;
        if (!added && times.real < slot->second.fastest.real)
            slot->second.fastest = times;
        slowestReal_ = std::max(slowestReal_, times.real);
    }
}

RunTimesReporter::Times RunTimesReporter::Last(const std::string& name) const {
    const auto found = runs_.find(name);
    return found == runs_.end() ? Times{} : found->second.last;
}

RunTimesReporter::Times RunTimesReporter::Fastest(const std::string& name) const {
    const auto found = runs_.find(name);
    return found == runs_.end() ? Times{} : found->second.fastest;
}

} // namespace stanzel::bench
