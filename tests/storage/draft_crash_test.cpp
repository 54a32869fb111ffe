// Drafts are kept at the moments the program may be killed (at close, on the
// way out of a session): a kill at any moment must leave only whole drafts in
// the list, and every draft reported kept among the newest must be there.
//
// A child process keeps drafts without pause and reports each one before and
// after; the parent kills it after a random few milliseconds and checks the
// folder, then starts the next child on it.
//
// STANZEL_CRASH_SEED=<n> repeats a run's choices of drafts and delays.

#include "storage/draft_store.h"
#include "storage/killed_child.h"
#include "test_dir.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <random>
#include <set>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::Report;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 120;
constexpr int kMaxDelayMs = 20;
constexpr auto kTimeBudget = std::chrono::seconds(12);

std::uint64_t Hash(const PoemRecord& poem) {
    std::uint64_t hash = testing::Fnv1a("");
    // A byte after each field, so that bytes moved from one field to the
    // next change the hash.
    const auto add = [&](std::string_view field) {
        hash = testing::Fnv1a("\xFF", testing::Fnv1a(field, hash));
    };
    add(poem.title);
    add(poem.poet);
    add(poem.date);
    add(std::to_string(poem.id));
    add(poem.text);
    return hash;
}

PoemRecord RandomPoem(std::mt19937& rng) {
    static constexpr std::string_view kPieces[] = {"őszi ", "\r\n",    "a=b",      "\"",     " ",
                                                   "\\",    "[draft]", "\xFF\xFE", "night ", "\n"};
    const auto piece = [&] { return kPieces[rng() % std::size(kPieces)]; };
    PoemRecord poem;
    poem.id = static_cast<std::int32_t>(rng() % 5);
    for (int i = 0; i < 3; ++i)
        poem.title += piece();
    poem.poet = piece();
    // Now and then a long text, so that a kill often lands inside a write.
    const int pieces =
        rng() % 8 == 0 ? 40000 + static_cast<int>(rng() % 80000) : static_cast<int>(rng() % 200);
    for (int i = 0; i < pieces; ++i)
        poem.text += piece();
    return poem;
}

void RunChild(const fs::path& dir, std::uint32_t seed, int fd) {
    std::mt19937 rng(seed);
    DraftStore store(dir);
    for (;;) {
        const PoemRecord poem = RandomPoem(rng);
        Report(fd, "B " + std::to_string(Hash(poem)) + "\n");
        const auto kept = store.Keep(poem, "2026-12-08 10:15:42");
        if (kept.error) {
            Report(fd, "E " + kept.error.message() + "\n");
            return;
        }
        Report(fd, "D " + std::to_string(kept.number) + "\n");
    }
}

struct Model {
    std::map<std::uint64_t, std::uint64_t> kept; // number -> content
    std::set<std::uint64_t> begun;               // every content a child began to keep
};

std::string Apply(std::string_view reports, Model& model) {
    std::istringstream in{std::string(reports)};
    std::string line;
    std::uint64_t pending = 0;
    while (std::getline(in, line)) {
        if (in.eof())
            break; // cut off by the kill
        std::istringstream words(line);
        char kind = 0;
        std::uint64_t value = 0;
        words >> kind;
        if (kind == 'E')
            return "the writer failed: " + line.substr(2);
        words >> value;
        if (kind == 'B') {
            pending = value;
            model.begun.insert(value);
        } else if (kind == 'D') {
            model.kept[value] = pending;
        }
    }
    return {};
}

void CheckAfterKill(const fs::path& dir, Model& model) {
    DraftStore store(dir);
    const auto drafts = store.List();
    std::size_t files = 0;
    for (const auto& item : fs::directory_iterator(store.folder())) {
        const std::string stem = item.path().stem().string();
        files += item.path().extension() == ".draft" && !stem.empty() &&
                 stem.find_first_not_of("0123456789") == std::string::npos;
    }
    ASSERT_EQ(drafts.size(), files) << "a draft file is left that does not read whole";
    ASSERT_LE(drafts.size(), DraftStore::kKept + 1) << "old drafts were not removed";

    std::map<std::uint64_t, std::uint64_t> found;
    for (const Draft& draft : drafts) {
        const std::uint64_t content = Hash(draft.poem);
        EXPECT_TRUE(model.begun.contains(content)) << "draft " << draft.number << " is torn";
        found[draft.number] = content;
    }
    // Every reported draft among the newest hundred is there, as it was kept;
    // a draft written and not yet reported counts among them.
    std::set<std::uint64_t, std::greater<>> numbers;
    for (const auto& [number, content] : model.kept)
        numbers.insert(number);
    for (const auto& [number, content] : found)
        numbers.insert(number);
    std::size_t newer = 0;
    for (auto it = numbers.begin(); it != numbers.end() && newer < DraftStore::kKept;
         ++it, ++newer) {
        const auto expected = model.kept.find(*it);
        if (expected == model.kept.end())
            continue;
        const auto hit = found.find(*it);
        ASSERT_NE(hit, found.end()) << "kept draft " << *it << " is gone";
        EXPECT_EQ(hit->second, expected->second) << "kept draft " << *it << " changed";
    }
    model.kept = found;
}

TEST(DraftCrashSafety, KillsNeverLeaveATornDraft) {
    const std::uint32_t seed = testing::CrashSeed(20261208u);
    SCOPED_TRACE("STANZEL_CRASH_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    testing::TestDir dir;
    Model model;
    const auto started = Clock::now();
    int rounds = 0;
    for (; rounds < kRounds && Clock::now() - started < kTimeBudget; ++rounds) {
        SCOPED_TRACE("round " + std::to_string(rounds));
        const std::uint32_t childSeed = seed ^ (static_cast<std::uint32_t>(rounds) * 2654435761u);
        const auto delay = std::chrono::microseconds(rng() % (kMaxDelayMs * 1000 + 1));
        const testing::KilledChild run =
            testing::RunAndKill([&](int fd) { RunChild(dir.path(), childSeed, fd); }, delay);
        ASSERT_TRUE(run.ok) << "no writer could be started";
        const std::string failure = Apply(run.reports, model);
        ASSERT_TRUE(failure.empty()) << failure;
        ASSERT_TRUE(WIFSIGNALED(run.status)) << "the writer ended by itself, status " << run.status;
        ASSERT_TRUE(run.reported) << "the writer kept no draft within 10 s";
        CheckAfterKill(dir.path(), model);
        if (::testing::Test::HasFailure())
            break;
    }
    std::printf("%d kills in %.1f s, %zu drafts at the end\n", rounds,
                std::chrono::duration<double>(Clock::now() - started).count(), model.kept.size());
    EXPECT_GE(rounds, kRounds / 4) << "too few kills within the time budget";
}

} // namespace
} // namespace stanzel
