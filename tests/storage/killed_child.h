#pragma once

// The harness of the crash tests: a child process writes without pause and
// reports each step on a pipe before and after it; the parent kills it with
// SIGKILL a given time after its first report and collects what it reported.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stanzel::testing {

// STANZEL_CRASH_SEED=<n> repeats a run's choices.
inline std::uint32_t CrashSeed(std::uint32_t fallback) {
    if (const char* text = std::getenv("STANZEL_CRASH_SEED"))
        return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
    return fallback;
}

// FNV-1a, to compare what a child reported with what it left on disk;
// `hash` carries on from earlier bytes.
inline std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t hash = 1469598103934665603ull) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// Writes one report line from the child; a parent that is gone ends it.
inline void Report(int fd, std::string_view line) {
    while (!line.empty()) {
        const ssize_t written = ::write(fd, line.data(), line.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            ::_exit(4);
        line.remove_prefix(static_cast<std::size_t>(written));
    }
}

struct KilledChild {
    std::string reports;   // every line the child wrote, the last maybe cut off
    int status = 0;        // as waitpid gives it
    bool reported = false; // false when the child reported nothing within 10 s
    bool ok = false;       // false when no child could be started or reaped
};

// Runs `child` (given the pipe to report on) in a process of its own and kills
// it `delay` after its first report. The delay counts from that report, not
// from the start, so that however slow the disk every kill lands among the
// writes; the pipe is kept drained meanwhile, so the child never waits.
inline KilledChild RunAndKill(const std::function<void(int reportFd)>& child,
                              std::chrono::microseconds delay) {
    using Clock = std::chrono::steady_clock;
    KilledChild run;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return run;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return run;
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::close(pipeEnds[0]);
        child(pipeEnds[1]);
        ::_exit(3);
    }
    ::close(pipeEnds[1]);

    char buffer[4096];
    const auto giveUpAt = Clock::now() + std::chrono::seconds(10);
    std::optional<Clock::time_point> killAt;
    for (bool open = true; open;) {
        if (!killAt && !run.reports.empty())
            killAt = Clock::now() + delay;
        const auto now = Clock::now();
        const auto until = killAt.value_or(giveUpAt);
        if (now >= until)
            break;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
        pollfd watch{pipeEnds[0], POLLIN, 0};
        if (::poll(&watch, 1, static_cast<int>(left.count())) > 0) {
            const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
            if (got > 0)
                run.reports.append(buffer, static_cast<std::size_t>(got));
            else
                open = false;
        }
    }
    ::kill(pid, SIGKILL);
    run.ok = ::waitpid(pid, &run.status, 0) == pid;
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        run.reports.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    run.reported = killAt.has_value();
    return run;
}

} // namespace stanzel::testing
