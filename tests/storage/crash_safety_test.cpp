// A writer killed at any moment must leave a collection that still opens, in
// which every save it finished survives and the one it was in the middle of is
// either wholly old or wholly new.
//
// A child process saves (and now and then deletes) poems without pause and
// reports each step on a pipe before and after it; the parent kills it with
// SIGKILL after a random few milliseconds, checks the directory against what
// was reported, and starts the next child on the same directory.
//
// STANZEL_CRASH_SEED=<n> repeats a run's choices of poems and delays;
// STANZEL_CRASH_KILLS=<n> sets the number of kills (200 by default, which CI
// runs; 1000 or more for a thorough run). Before each next child starts, the
// start-up clean-up runs, and no temporary file may outlive it.

#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/killed_child.h"
#include "storage/poem_store.h"
#include "storage/section_names.h"
#include "storage/text_lines.h"
#include "test_dir.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <poll.h>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::Report;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultRounds = 200;
constexpr int kMaxDelayMs = 30;
// Past this size the child only rewrites, so that checking a round stays cheap.
constexpr std::size_t kMaxPoems = 150;

// What the index holds for a poem and what its text file holds, kept apart
// because they live in two files that are replaced one after the other.
struct Content {
    std::uint64_t fields = 0; // title, poet and date
    std::uint64_t text = 0;
    bool operator==(const Content&) const = default;
};

std::uint64_t FieldsHash(std::string_view title, std::string_view poet, std::string_view date) {
    std::string joined;
    joined.append(title).append(1, '\0').append(poet).append(1, '\0').append(date);
    return testing::Fnv1a(joined);
}

// ---- the child ----------------------------------------------------------

constexpr std::array<std::string_view, 24> kWords{
    "night", "river", "autumn",  "light", "stone",  "winter",     "bell", "salt",
    "ősz",   "híd",   "csönd",   "fűzfa", "Straße", "über",       "rêve", "forêt",
    "łąka",  "dzień", "[draft]", "a=b",   ";note",  "\"quoted\"", "мир",  "the"};

std::string Words(std::mt19937& rng, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += ' ';
        out += kWords[rng() % kWords.size()];
    }
    return out;
}

std::string Text(std::mt19937& rng) {
    // Now and then a long poem, so that a kill often lands inside a write.
    const int lines =
        rng() % 10 == 0 ? 600 + static_cast<int>(rng() % 1200) : static_cast<int>(rng() % 24);
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i > 0)
            text += "\r\n";
        text += Words(rng, static_cast<int>(rng() % 8));
    }
    if (rng() % 4 == 0)
        text += "\r\n";
    return text;
}

void RunChild(const fs::path& dir, std::uint32_t seed, int fd) {
    try {
        std::mt19937 rng(seed);
        PoemStore store(dir);
        std::vector<std::int32_t> ids;
        std::int32_t highest = 0;
        for (const auto& name : testing::SectionNames(IniFile(store.indexFile()))) {
            if (const auto id = CanonicalPoemId(name)) {
                ids.push_back(*id);
                highest = std::max(highest, *id);
            }
        }
        // The counter lives in the settings file, which this writer lacks.
        store.setAutoid(highest + 1);

        for (;;) {
            const unsigned dice = rng() % 100;
            if (!ids.empty() && dice < 4) {
                const std::size_t slot = rng() % ids.size();
                const std::int32_t id = ids[slot];
                Report(fd, "X " + std::to_string(id) + "\n");
                store.DeletePoem(std::to_string(id));
                Report(fd, "Y " + std::to_string(id) + "\n");
                ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(slot));
                continue;
            }
            const bool isNew = ids.size() < 5 || (ids.size() < kMaxPoems && dice < 40);
            const std::int32_t current = isNew ? 0 : ids[rng() % ids.size()];
            const std::string title = Words(rng, 1 + static_cast<int>(rng() % 6));
            const std::string poet = Words(rng, 2);
            const std::string date = rng() % 3 ? std::to_string(1800 + rng() % 225) : "";
            const std::string text = Text(rng);

            std::ostringstream begin;
            begin << "B " << current << ' ' << FieldsHash(title, poet, date) << ' '
                  << testing::Fnv1a(text) << '\n';
            Report(fd, begin.str());
            const std::int32_t id = store.SavePoem(current, title, poet, date, text);
            Report(fd, "D " + std::to_string(id) + "\n");
            if (isNew)
                ids.push_back(id);
        }
    } catch (const std::exception& error) {
        Report(fd, std::string("E ") + error.what() + "\n");
    }
}

// ---- the parent ---------------------------------------------------------

// The step the child had begun and not reported done when it died.
struct Pending {
    enum Kind { Save, Delete } kind = Save;
    std::int32_t id = 0; // 0: a new poem
    Content content;
};

struct Model {
    std::map<std::int32_t, Content> confirmed;
    std::optional<Pending> pending;
};

struct RoundStats {
    int saves = 0;
    int deletes = 0;
    int mixed = 0;          // index and text file from different saves
    long checked = 0;       // confirmed poems compared after a kill
    int temporaries = 0;    // temporary files a kill left, before the clean-up
    int leftAfterStart = 0; // the same, after the clean-up of the next start
};

// Applies the child's reports to the model; a failure text when the child
// itself gave up.
std::string Apply(std::string_view reports, Model& model, RoundStats& stats) {
    std::istringstream in{std::string(reports)};
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof())
            break; // cut off by the kill
        std::istringstream words(line);
        char kind = 0;
        words >> kind;
        if (kind == 'E')
            return "the writer failed: " + line.substr(2);
        std::int32_t id = 0;
        if (kind == 'B') {
            Pending step;
            words >> step.id >> step.content.fields >> step.content.text;
            model.pending = step;
        } else if (kind == 'D') {
            words >> id;
            model.confirmed[id] = model.pending->content;
            model.pending.reset();
            ++stats.saves;
        } else if (kind == 'X') {
            words >> id;
            model.pending = Pending{Pending::Delete, id, {}};
        } else if (kind == 'Y') {
            words >> id;
            model.confirmed.erase(id);
            model.pending.reset();
            ++stats.deletes;
        }
    }
    return {};
}

// The sections of the index as its bytes stand, with a complaint for any line
// that the program would not have written.
struct RawIndex {
    std::vector<std::string> sections;
    std::vector<std::string> faults;
};

RawIndex ReadRawIndex(const fs::path& path) {
    RawIndex raw;
    const FileContents file = ReadWholeFile(path);
    if (file.missing())
        return raw;
    if (file.error) {
        raw.faults.push_back("unreadable: " + file.error.message());
        return raw;
    }
    if (!file.bytes.empty() && !file.bytes.ends_with("\r\n"))
        raw.faults.push_back("does not end with CR LF (torn?)");
    constexpr std::array<std::string_view, 3> kKeys{"title=", "poet=", "date="};
    std::size_t nextKey = kKeys.size();
    for (const std::string& line : SplitLines(file.bytes)) {
        if (line.starts_with('[') && line.ends_with(']')) {
            if (nextKey != kKeys.size())
                raw.faults.push_back("section " + raw.sections.back() + " lacks entries");
            raw.sections.push_back(line.substr(1, line.size() - 2));
            nextKey = 0;
        } else if (nextKey < kKeys.size() && line.starts_with(kKeys[nextKey])) {
            ++nextKey;
        } else {
            raw.faults.push_back("unexpected line \"" + line.substr(0, 80) + "\"");
        }
    }
    if (nextKey != kKeys.size())
        raw.faults.push_back("last section lacks entries");
    return raw;
}

bool IsOneOf(std::uint64_t value, std::uint64_t a, std::optional<std::uint64_t> b) {
    return value == a || (b && value == *b);
}

// Checks the directory after a kill and brings the model up to what it holds.
void CheckAfterKill(const fs::path& dir, Model& model, RoundStats& stats) {
    PoemStore store(dir);
    const RawIndex raw = ReadRawIndex(store.indexFile().path());
    for (const auto& fault : raw.faults)
        ADD_FAILURE() << "index: " << fault;

    const std::vector<std::string> names = testing::SectionNames(IniFile(store.indexFile()));
    ASSERT_EQ(names, raw.sections) << "the sections read differ from the sections in the file";
    ASSERT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size())
        << "a poem's section stands twice";

    const auto list = store.ListPoems();
    ASSERT_EQ(list.size(), names.size());

    std::map<std::int32_t, Content> found;
    for (const PoemListEntry& entry : list) {
        const auto id = CanonicalPoemId(entry.id);
        ASSERT_TRUE(id) << "section \"" << entry.id << "\"";
        PoemRecord poem;
        try {
            poem = store.LoadPoem(entry.id);
        } catch (const std::exception& error) {
            FAIL() << "poem " << entry.id << " does not load: " << error.what();
        }
        found[*id] = {FieldsHash(entry.title, poem.poet, poem.date), testing::Fnv1a(poem.text)};
    }

    const std::optional<Pending>& pending = model.pending;
    stats.checked += static_cast<long>(model.confirmed.size());
    for (const auto& [id, expected] : model.confirmed) {
        const bool inProgress = pending && pending->id == id;
        const auto hit = found.find(id);
        if (hit == found.end()) {
            EXPECT_TRUE(inProgress && pending->kind == Pending::Delete)
                << "poem " << id << " was saved and is gone";
            continue;
        }
        const Content& actual = hit->second;
        if (!inProgress) {
            EXPECT_EQ(actual, expected) << "poem " << id << " differs from its last save";
            continue;
        }
        std::optional<std::uint64_t> newFields, newText;
        if (pending->kind == Pending::Save) {
            newFields = pending->content.fields;
            newText = pending->content.text;
        }
        EXPECT_TRUE(IsOneOf(actual.fields, expected.fields, newFields))
            << "poem " << id << ": title, poet or date torn by the kill";
        EXPECT_TRUE(IsOneOf(actual.text, expected.text, newText))
            << "poem " << id << ": text torn by the kill";
        if (pending->kind == Pending::Save &&
            (actual.fields == expected.fields) != (actual.text == expected.text))
            ++stats.mixed;
    }

    // A poem the model does not know can only be the new one being saved.
    for (const auto& [id, actual] : found) {
        if (model.confirmed.contains(id))
            continue;
        const bool pendingNew = pending && pending->kind == Pending::Save && pending->id == 0;
        EXPECT_TRUE(pendingNew) << "poem " << id << " appeared without being saved";
        if (!pendingNew)
            continue;
        EXPECT_EQ(actual.fields, pending->content.fields) << "new poem " << id;
        EXPECT_TRUE(IsOneOf(actual.text, pending->content.text, testing::Fnv1a("")))
            << "new poem " << id << " listed with a text that is not its own";
    }

    model.confirmed = found;
    model.pending.reset();
}

struct Leftovers {
    int temporaries = 0; // half-written replacements
    int orphans = 0;     // text files of poems the index does not list
};

Leftovers CountLeftovers(const fs::path& dir, const Model& model) {
    Leftovers leftovers;
    for (const auto& item : fs::directory_iterator(dir)) {
        const std::string name = item.path().filename().string();
        if (name != "poems.dmp" && name != "poems")
            ++leftovers.temporaries;
    }
    for (const auto& item : fs::directory_iterator(dir / "poems")) {
        const std::string name = item.path().filename().string();
        if (!name.ends_with(".poem")) {
            ++leftovers.temporaries;
            continue;
        }
        const auto id = CanonicalPoemId(std::string_view(name).substr(0, name.size() - 5));
        if (!id || !model.confirmed.contains(*id))
            ++leftovers.orphans;
    }
    return leftovers;
}

int Rounds() {
    if (const char* text = std::getenv("STANZEL_CRASH_KILLS"))
        return std::max(1, static_cast<int>(std::strtol(text, nullptr, 10)));
    return kDefaultRounds;
}

TEST(CrashSafety, SavesSurviveKillsAtRandomMoments) {
    const std::uint32_t seed = testing::CrashSeed(20240611u);
    SCOPED_TRACE("STANZEL_CRASH_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    testing::TestDir dir;
    fs::create_directories(dir / "poems");

    Model model;
    RoundStats stats;
    const int wanted = Rounds();
    const auto timeBudget = std::chrono::seconds(45) + wanted * std::chrono::milliseconds(100);
    const auto started = Clock::now();
    int rounds = 0;
    for (; rounds < wanted && Clock::now() - started < timeBudget; ++rounds) {
        SCOPED_TRACE("round " + std::to_string(rounds));
        const std::uint32_t childSeed = seed ^ (static_cast<std::uint32_t>(rounds) * 2654435761u);
        const auto delay = std::chrono::microseconds(rng() % (kMaxDelayMs * 1000 + 1));
        const testing::KilledChild run = testing::RunAndKill(
            [&](int fd) { RunChild(dir.path(), childSeed, fd); }, delay);
        ASSERT_TRUE(run.ok) << "no writer could be started";

        const std::string failure = Apply(run.reports, model, stats);
        ASSERT_TRUE(failure.empty()) << failure;
        ASSERT_TRUE(WIFSIGNALED(run.status)) << "the writer ended by itself, status " << run.status;
        ASSERT_TRUE(run.reported) << "the writer began no step within 10 s";

        CheckAfterKill(dir.path(), model, stats);
        // What the next start finds and what its clean-up leaves.
        stats.temporaries += CountLeftovers(dir.path(), model).temporaries;
        PoemStore(dir.path()).RemoveStaleTemporaryFiles();
        const int left = CountLeftovers(dir.path(), model).temporaries;
        stats.leftAfterStart += left;
        EXPECT_EQ(left, 0) << "temporary files outlive the start-up clean-up";
        if (::testing::Test::HasFailure()) {
            ++rounds;
            break;
        }
    }

    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    const Leftovers leftovers = CountLeftovers(dir.path(), model);
    std::printf("%d kills in %.1f s: %d saves and %d deletes confirmed, %ld confirmed poems "
                "checked, %zu poems at the end, %d kills between index and text file; "
                "%d temporary files left by kills, %d after the next start; %d orphaned texts "
                "at the end\n",
                rounds, seconds, stats.saves, stats.deletes, stats.checked, model.confirmed.size(),
                stats.mixed, stats.temporaries, stats.leftAfterStart, leftovers.orphans);
    if (::testing::Test::HasFailure())
        return;
    EXPECT_GE(rounds, wanted / 4) << "too few kills within the time budget";
    EXPECT_GT(stats.saves, 0) << "the writer never finished a save";
}

} // namespace
} // namespace stanzel
