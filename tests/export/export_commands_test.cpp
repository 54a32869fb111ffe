#include "export/export_commands.h"
#include "export_test_support.h"
#include "storage/ini_file.h"
#include "storage/poem_store.h"
#include "storage/settings.h"
#include "storage/storage_error.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace stanzel {
namespace {

using testing::EnglishContext;
using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

// What the window reads at start-up for the dialog's preselection.
std::int32_t ReadRememberedFormat(const std::filesystem::path& programDir, ExportKind kind) {
    return ReadSetting(IniFile(SettingsPath(programDir)), RememberedFormatSetting(kind));
}

TEST(ExportFilterTest, Entries) {
    ExportLabels labels = EnglishContext().labels;
    labels.textFiles = "Szövegfájlok";
    labels.htmlDocuments = "HTML-dokumentumok";
    const auto entries = ExportFilterEntries(labels);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].description, "Szövegfájlok (*.txt)");
    EXPECT_EQ(entries[1].description, "HTML-dokumentumok (*.html)");
    EXPECT_EQ(entries[2].description, "AbiWord (*.abw)");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(FormatOfFilterIndex(static_cast<int>(i) + 1), entries[i].format);
        EXPECT_EQ("*" + std::string(FileExtension(entries[i].format)), entries[i].pattern);
    }
    EXPECT_FALSE(FormatOfFilterIndex(0));
    EXPECT_FALSE(FormatOfFilterIndex(4));
}

TEST(ExportFilterTest, Preselection) {
    const std::pair<std::int32_t, int> rows[] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 1}, {-1, 1}};
    for (const auto& [remembered, preselected] : rows)
        EXPECT_EQ(PreselectedFilterIndex(remembered), preselected) << remembered;
}

// Drives the commands with scripted answers and records what they asked.
class ExportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(dir / "poems");
        std::filesystem::create_directory(dir / "out");
        prompts.chooseFile = [this](const std::vector<FilterEntry>& filters, int preselected) {
            ++dialogs;
            EXPECT_EQ(filters.size(), 3u);
            lastPreselected = preselected;
            return answer;
        };
        prompts.confirmOverwrite = [this](const std::filesystem::path& file) {
            asked.push_back(file);
            return overwrite;
        };
    }

    std::filesystem::path out(std::string_view name) const { return dir / "out" / name; }
    void choose(std::string_view name, int filterIndex) {
        answer = SaveChoice{out(name), filterIndex};
    }
    std::string settings() const { return ReadBytes(SettingsPath(dir.path())); }
    bool settingsExist() const { return std::filesystem::exists(SettingsPath(dir.path())); }
    void collection() {
        WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Rain\r\npoet=X\r\ndate=1999\r\n");
        WriteBytes(dir / "poems" / "1.poem", "a\r\nb");
    }

    ExportResult exportPoem(std::int32_t rememberedAtStart = 0) {
        return ExportPoem(poem, context, dir.path(), rememberedAtStart, prompts);
    }
    ExportResult exportAll(std::int32_t rememberedAtStart = 0) {
        PoemStore store(dir.path());
        return ExportCollection(store, dir.path(), context, rememberedAtStart, prompts);
    }

    TestDir dir;
    ExportContext context = EnglishContext();
    EditorPoem poem{"Rain", "X", "1999", "a\r\nb", {"a", "b"}};
    ExportPrompts prompts;
    std::optional<SaveChoice> answer;
    bool overwrite = true;
    int dialogs = 0;
    int lastPreselected = 0;
    std::vector<std::filesystem::path> asked;
};

TEST_F(ExportCommandTest, NewNameGetsTheExtensionAppended) {
    const std::pair<const char*, const char*> rows[] = {
        {"poem", "poem.html"}, {"page.html", "page.html.html"}, {"poem.txt", "poem.txt.html"}};
    for (const auto& [typed, written] : rows) {
        choose(typed, 2);
        const ExportResult result = exportPoem();
        EXPECT_EQ(result.outcome, ExportOutcome::Written);
        EXPECT_EQ(result.file, out(written));
        EXPECT_TRUE(ReadBytes(out(written)).starts_with("<?xml")) << typed;
        EXPECT_FALSE(std::filesystem::exists(out(typed))) << typed;
    }
    EXPECT_TRUE(asked.empty());
}

TEST_F(ExportCommandTest, ExistingFileIsAskedAboutAndReplacedAsPicked) {
    WriteBytes(out("notes.doc"), "old");
    choose("notes.doc", 3);
    EXPECT_EQ(exportPoem().outcome, ExportOutcome::Written);
    EXPECT_EQ(asked, std::vector<std::filesystem::path>{out("notes.doc")});
    EXPECT_TRUE(
        ReadBytes(out("notes.doc")).starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_FALSE(std::filesystem::exists(out("notes.doc.abw")));
    EXPECT_EQ(IniFile(SettingsPath(dir.path())).ReadNumber("Export", "one", 0), 3);
}

TEST_F(ExportCommandTest, NoToTheQuestionChangesNothing) {
    WriteBytes(out("notes.doc"), "old");
    choose("notes.doc", 1);
    overwrite = false;
    EXPECT_EQ(exportPoem().outcome, ExportOutcome::OverwriteDeclined);
    EXPECT_EQ(ReadBytes(out("notes.doc")), "old");
    EXPECT_FALSE(settingsExist());
}

// The file the document would replace is the one the question names, even
// when it is the name with the extension appended.
TEST_F(ExportCommandTest, AppendedNameThatExistsIsAskedAbout) {
    WriteBytes(out("poem.txt"), "old");
    choose("poem", 1);
    overwrite = false;
    EXPECT_EQ(exportPoem().outcome, ExportOutcome::OverwriteDeclined);
    EXPECT_EQ(asked, std::vector<std::filesystem::path>{out("poem.txt")});
    EXPECT_EQ(ReadBytes(out("poem.txt")), "old");

    overwrite = true;
    EXPECT_EQ(exportPoem().outcome, ExportOutcome::Written);
    EXPECT_TRUE(ReadBytes(out("poem.txt")).starts_with("### Rain ###"));
    EXPECT_FALSE(std::filesystem::exists(out("poem.txt.txt")));
}

// The key is written after each export, but the dialogs of the same run keep
// preselecting what was read at start-up.
TEST_F(ExportCommandTest, RememberedFormat) {
    EXPECT_EQ(ReadRememberedFormat(dir.path(), ExportKind::OnePoem), 0);
    choose("a", 3);
    const std::int32_t atStart = ReadRememberedFormat(dir.path(), ExportKind::OnePoem);
    exportPoem(atStart);
    EXPECT_EQ(lastPreselected, 1);
    EXPECT_EQ(ReadRememberedFormat(dir.path(), ExportKind::OnePoem), 3);
    exportPoem(atStart);
    EXPECT_EQ(lastPreselected, 1);
    exportPoem(ReadRememberedFormat(dir.path(), ExportKind::OnePoem)); // after a restart
    EXPECT_EQ(lastPreselected, 3);

    collection();
    choose("b", 2);
    EXPECT_EQ(exportAll(1).outcome, ExportOutcome::Written);
    EXPECT_EQ(settings(), "[Export]\r\none=3\r\nall=2\r\n");
}

TEST_F(ExportCommandTest, NothingHappensWithoutTitleTextOrChoice) {
    choose("x", 1);
    poem.title.clear();
    EXPECT_EQ(exportPoem().outcome, ExportOutcome::NotExportable);
    poem.title = "Rain";
    poem.text.clear();
    EXPECT_EQ(exportPoem().outcome, ExportOutcome::NotExportable);
    EXPECT_EQ(dialogs, 0);

    poem.text = "a";
    answer.reset();
    EXPECT_EQ(exportPoem().outcome, ExportOutcome::DialogCancelled);
    choose("x", 4);
    EXPECT_EQ(exportPoem().outcome, ExportOutcome::UnknownFormat);
    collection();
    EXPECT_EQ(exportAll().outcome, ExportOutcome::UnknownFormat);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
    EXPECT_FALSE(settingsExist());
}

// No poems: the dialog still opens, then nothing is asked, written or stored.
TEST_F(ExportCommandTest, EmptyCollection) {
    WriteBytes(out("all.txt"), "old");
    choose("all.txt", 1);
    EXPECT_EQ(exportAll().outcome, ExportOutcome::EmptyCollection);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ReadBytes(out("all.txt")), "old");
    EXPECT_FALSE(settingsExist());
}

TEST_F(ExportCommandTest, CancelledExportAllWritesNothing) {
    collection();
    WriteBytes(out("all.abw"), "old");
    choose("all", 3);
    prompts.progress = [](std::size_t, std::size_t) { return ProgressAnswer::Cancel; };
    EXPECT_EQ(exportAll().outcome, ExportOutcome::ProgressCancelled);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ReadBytes(out("all.abw")), "old");
    EXPECT_FALSE(settingsExist());

    prompts.progress = [](std::size_t, std::size_t) { return ProgressAnswer::Continue; };
    const ExportResult result = exportAll();
    EXPECT_EQ(result.outcome, ExportOutcome::Written);
    EXPECT_EQ(result.file, out("all.abw"));
    EXPECT_NE(ReadBytes(out("all.abw")).find(">Poet: X</p>"), std::string::npos);
}

// Export all writes the document as it is made, in many pieces for a
// collection of some size: the file holds exactly the document built whole,
// and a cancel, a No or an unreadable poem half-way leaves the old file and
// nothing beside it.
TEST_F(ExportCommandTest, ExportAllWrittenAsMadeIsTheWholeDocument) {
    std::string index;
    for (int id = 1; id <= 300; ++id) {
        const std::string name = std::to_string(id);
        index += "[" + name + "]\r\ntitle=Poem " + name + " & more\r\npoet=P\r\ndate=D\r\n";
        WriteBytes(dir / "poems" / (name + ".poem"), std::string(700, 'a' + id % 26) + "\r\nend");
    }
    WriteBytes(dir / "poems.dmp", index);
    const auto onlyTheOldFile = [&](const char* name) {
        EXPECT_EQ(ReadBytes(out(name)), "old");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "out"), {}), 1);
    };
    const char* names[] = {"all.txt", "all.html", "all.abw"};
    for (int filterIndex = 1; filterIndex <= 3; ++filterIndex) {
        const char* name = names[filterIndex - 1];
        const auto format = *FormatOfFilterIndex(filterIndex);
        WriteBytes(out(name), "old");
        choose(name, filterIndex);

        overwrite = false;
        EXPECT_EQ(exportAll().outcome, ExportOutcome::OverwriteDeclined);
        onlyTheOldFile(name);

        overwrite = true;
        prompts.progress = [](std::size_t done, std::size_t) {
            return done >= 150 ? ProgressAnswer::Cancel : ProgressAnswer::Continue;
        };
        EXPECT_EQ(exportAll().outcome, ExportOutcome::ProgressCancelled);
        onlyTheOldFile(name);
        prompts.progress = {};

        std::filesystem::rename(dir / "poems" / "200.poem", dir / "poems" / "200.away");
        EXPECT_THROW(exportAll(), StorageError);
        onlyTheOldFile(name);
        std::filesystem::rename(dir / "poems" / "200.away", dir / "poems" / "200.poem");

        PoemStore store(dir.path());
        const auto document = BuildCollectionDocument(store, format, context);
        ASSERT_GT(document.bytes.size(), 200'000u);
        EXPECT_EQ(exportAll().outcome, ExportOutcome::Written);
        EXPECT_TRUE(ReadBytes(out(name)) == document.bytes.view()) << name;
        std::filesystem::remove(out(name));
    }
}

TEST_F(ExportCommandTest, UnreadablePoemWritesNothing) {
    collection();
    std::filesystem::remove(dir / "poems" / "1.poem");
    choose("all", 1);
    EXPECT_THROW(exportAll(), StorageError);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
    EXPECT_FALSE(settingsExist());
}

TEST_F(ExportCommandTest, TargetThatCannotBeWritten) {
    answer = SaveChoice{dir / "missing" / "poem", 1};
    try {
        exportPoem();
        FAIL() << "no error";
    } catch (const StorageError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file \"" +
                                                 (dir / "missing" / "poem.txt").string() +
                                                 "\". No such file or directory.");
    }
    EXPECT_FALSE(settingsExist());

    if (::geteuid() != 0) { // root may write anything
        WriteBytes(out("locked.txt"), "old");
        std::filesystem::permissions(out("locked.txt"), std::filesystem::perms::owner_read);
        choose("locked.txt", 1);
        EXPECT_THROW(exportPoem(), StorageError);
        EXPECT_EQ(ReadBytes(out("locked.txt")), "old");
    }
}

// The document and the stored choice are written together or not at all.
TEST_F(ExportCommandTest, SettingsThatCannotBeWritten) {
    std::filesystem::create_directory(SettingsPath(dir.path()));
    choose("poem", 1);
    EXPECT_THROW(exportPoem(), StorageError);
    EXPECT_FALSE(std::filesystem::exists(out("poem.txt")));
}

} // namespace
} // namespace stanzel
