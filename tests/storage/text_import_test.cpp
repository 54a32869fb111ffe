#include "storage/storage_error.h"
#include "storage/text_import.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stanzel {
namespace {

using testing::TestDir;
using testing::WriteBytes;
using Outcome = DropImport::Outcome;

// Drops files and answers the question as scripted, remembering what was asked.
class TextImportTest : public ::testing::Test {
protected:
    std::filesystem::path File(std::string_view name, std::string_view bytes) {
        const auto path = dir / name;
        WriteBytes(path, bytes);
        return path;
    }

    DropImport Drop(std::vector<std::filesystem::path> paths, bool answer = true) {
        asked.clear();
        return ImportDroppedFiles(paths, [&](const std::string& name) {
            asked.push_back(name);
            return answer;
        });
    }

    TestDir dir;
    std::vector<std::string> asked;
};

TEST_F(TextImportTest, ImportsTextTitledBeforeTheFirstDot) {
    const auto result = Drop({File("my.poem.txt", "First line\nSecond\r\nThird\r")});
    EXPECT_EQ(result.outcome, Outcome::Imported);
    EXPECT_EQ(asked, std::vector<std::string>{"my.poem.txt"});
    EXPECT_EQ(result.fileName, "my.poem.txt");
    EXPECT_EQ(result.title, "my");
    EXPECT_EQ(result.text, "First line\r\nSecond\r\nThird\r\n");
}

TEST_F(TextImportTest, TwoFilesAreRefusedEvenWhenBothAreText) {
    const auto result = Drop({File("a.txt", "a"), File("b.txt", "b")});
    EXPECT_EQ(result.outcome, Outcome::Refused);
    EXPECT_EQ(result.warningKey, kTooManyFilesKey);
    EXPECT_EQ(result.warningKey, "warning1");
    EXPECT_TRUE(asked.empty());
}

TEST_F(TextImportTest, EmptyDropDoesNothing) {
    EXPECT_EQ(Drop({}).outcome, Outcome::Ignored);
    EXPECT_TRUE(asked.empty());
}

TEST_F(TextImportTest, TextFileCheckLooksAtTheLastThreeLettersOnly) {
    struct Case {
        const char* name;
        bool accepted;
        const char* title;
    };
    const Case cases[] = {
        {"Notes.TXT", true, "Notes"},
        {"notes.TxT", true, "notes"},
        {"notes.text", false, ""},
        {"poemtxt", true, ""},
        {"txt", true, ""},
        {"notes.txt.bak", false, ""},
        {"notes.tx", false, ""},
        {".txt", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = Drop({File(c.name, "x")});
        if (c.accepted) {
            EXPECT_EQ(result.outcome, Outcome::Imported);
            EXPECT_EQ(result.title, c.title);
        } else {
            EXPECT_EQ(result.outcome, Outcome::Refused);
            EXPECT_EQ(result.warningKey, "warning2");
            EXPECT_TRUE(asked.empty());
        }
    }
}

TEST_F(TextImportTest, DotInTheFolderNameDoesNotCountForTheTitle) {
    std::filesystem::create_directory(dir / "old.drafts");
    const auto result = Drop({File("old.drafts/autumntxt", "x")});
    EXPECT_EQ(result.title, "");
    EXPECT_EQ(result.fileName, "autumntxt");
}

TEST_F(TextImportTest, SizeLimitIsBelow101Kilobytes) {
    const std::pair<std::size_t, bool> cases[] = {
        {102400, true}, {103423, true}, {103424, false}, {2000000, false}};
    for (const auto& [size, accepted] : cases) {
        SCOPED_TRACE(size);
        const auto result = Drop({File("big.txt", std::string(size, 'a'))});
        if (accepted) {
            EXPECT_EQ(result.outcome, Outcome::Imported);
            EXPECT_EQ(result.text.size(), size);
        } else {
            EXPECT_EQ(result.outcome, Outcome::Refused);
            EXPECT_EQ(result.warningKey, "warning3");
            EXPECT_TRUE(asked.empty());
        }
    }
}

TEST_F(TextImportTest, FileThatGrowsPastTheLimitWhileTheQuestionIsOpenIsRefused) {
    const auto path = File("grows.txt", "short");
    const auto result = ImportDroppedFiles({path}, [&](const std::string&) {
        WriteBytes(path, std::string(kLargestImportBytes + 1, 'a'));
        return true;
    });
    EXPECT_EQ(result.outcome, Outcome::Refused);
    EXPECT_EQ(result.warningKey, "warning3");
}

TEST_F(TextImportTest, EmptyFileImportsAsEmptyText) {
    const auto result = Drop({File("empty.txt", "")});
    EXPECT_EQ(result.outcome, Outcome::Imported);
    EXPECT_EQ(result.title, "empty");
    EXPECT_EQ(result.text, "");
}

TEST_F(TextImportTest, AnsweringNoImportsNothing) {
    const auto result = Drop({File("keep.txt", "text")}, false);
    EXPECT_EQ(result.outcome, Outcome::Declined);
    EXPECT_EQ(asked, std::vector<std::string>{"keep.txt"});
    EXPECT_TRUE(result.title.empty());
    EXPECT_TRUE(result.text.empty());
}

TEST_F(TextImportTest, UnreadableFileRaisesCannotOpen) {
    const auto locked = File("locked.txt", "secret");
    ::chmod(locked.c_str(), 0);
    if (::geteuid() != 0) {
        try {
            Drop({locked});
            FAIL() << "no error";
        } catch (const StorageError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot open file \"" + locked.string() + "\". Permission denied.");
        }
        EXPECT_TRUE(asked.empty());
    }

    // Opens as a regular file of no size, then fails to read: a read error
    // that even root meets.
    const auto failing = dir / "memory.txt";
    std::filesystem::create_symlink("/proc/self/mem", failing);
    try {
        Drop({failing});
        FAIL() << "no error";
    } catch (const StorageError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open file \"" + failing.string() + "\". Input/output error.");
    }
    EXPECT_EQ(asked.size(), 1u);
}

TEST_F(TextImportTest, MissingFileOrFolderRaisesCannotOpen) {
    const auto missing = dir / "gone.txt";
    try {
        Drop({missing});
        FAIL() << "no error";
    } catch (const StorageError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open file \"" + missing.string() + "\". No such file or directory.");
    }

    std::filesystem::create_directory(dir / "folder.txt");
    EXPECT_THROW(Drop({dir / "folder.txt"}), StorageError);
    EXPECT_TRUE(asked.empty());

    // Gone between the question and the read.
    const auto brief = File("brief.txt", "x");
    EXPECT_THROW(ImportDroppedFiles({brief},
                                    [&](const std::string&) {
                                        std::filesystem::remove(brief);
                                        return true;
                                    }),
                 StorageError);
}

TEST_F(TextImportTest, PipeNamedLikeATextFileNeitherHangsNorImports) {
    const auto fifo = dir / "pipe.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(Drop({fifo}), StorageError);
}

TEST_F(TextImportTest, OldSingleByteTextIsReadAsWindows1252) {
    // "Édes, “szép” – 50€" as an old Windows editor saved it.
    const auto result = Drop({File("old.txt", "\xC9"
                                              "des, \x93sz\xE9p\x94 \x96 50\x80\r\nx\x81y")});
    EXPECT_EQ(result.text, "\xC3\x89"
                           "des, \xE2\x80\x9Csz\xC3\xA9p\xE2\x80\x9D \xE2\x80\x93 50"
                           "\xE2\x82\xAC\r\nx\xC2\x81y");
}

TEST_F(TextImportTest, Utf8TextStaysAsItIsButForItsByteOrderMark) {
    const auto result = Drop({File("new.txt", "\xEF\xBB\xBF\xC3\x89"
                                              "des\n\xF0\x9F\x8C\xA7")});
    EXPECT_EQ(result.text, "\xC3\x89"
                           "des\r\n\xF0\x9F\x8C\xA7");
}

TEST_F(TextImportTest, NameBecomesAValidSingleLineTitle) {
    const auto old = Drop({File("\xC9"
                                "j.txt",
                                "x")});
    EXPECT_EQ(old.fileName, "\xC3\x89j.txt");
    EXPECT_EQ(old.title, "\xC3\x89j");
    EXPECT_EQ(asked, std::vector<std::string>{"\xC3\x89j.txt"});

    EXPECT_EQ(Drop({File("two\nlines.txt", "x")}).title, "two lines");
}

TEST(DecodeTextFile, OnlyStrictUtf8IsTakenAsUtf8) {
    for (const std::string_view utf8 : {"", "plain", "\xC3\xA9\xE2\x82\xAC\xF4\x8F\xBF\xBF"})
        EXPECT_EQ(DecodeTextFile(utf8), utf8);
    // Cut short, overlong, a surrogate, beyond U+10FFFF, Latin-1: each byte
    // is then a character of its own.
    EXPECT_EQ(DecodeTextFile("\xC3"), "\xC3\x83");
    EXPECT_EQ(DecodeTextFile("\xC0\xAF"), "\xC3\x80\xC2\xAF");
    EXPECT_EQ(DecodeTextFile("\xE0\x80\xAF"), "\xC3\xA0\xE2\x82\xAC\xC2\xAF");
    EXPECT_EQ(DecodeTextFile("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");
    EXPECT_EQ(DecodeTextFile("\xF4\x90\x80\x80"), "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC");
    EXPECT_EQ(DecodeTextFile("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9");
}

} // namespace
} // namespace stanzel
