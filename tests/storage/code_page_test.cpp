#include "storage/ascii.h"
#include "storage/code_page.h"
#include "storage/ini_file.h"
#include "storage/settings.h"
#include "test_dir.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iconv.h>
#include <map>
#include <optional>

namespace stanzel {
namespace {

using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

// UTF-8 text in the code page, as an older system wrote it; a character the
// code page lacks becomes its nearest (the quotes of ISO 8859-2).
std::string Encoded(std::string_view utf8, std::string_view codePage) {
    const iconv_t to = ::iconv_open((std::string(codePage) + "//TRANSLIT").c_str(), "UTF-8");
    if (to == reinterpret_cast<iconv_t>(-1))
        ADD_FAILURE() << "no conversion to " << codePage;
    std::string out(utf8.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* at = out.data();
    std::size_t outLeft = out.size();
    if (::iconv(to, &in, &inLeft, &at, &outLeft) == static_cast<std::size_t>(-1))
        ADD_FAILURE() << "cannot write " << utf8 << " in " << codePage;
    ::iconv_close(to);
    out.resize(out.size() - outLeft);
    return out;
}

struct ReadingCase {
    const char* name;
    const char* codePage;
    std::string stored;   // the bytes of the file
    std::string expected; // as read
};

class CodePageReading : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(CodePageReading, ReadsEveryLetterAndNothingElse) {
    const auto& row = GetParam();
    const auto codePage = CodePage::Named(row.codePage);
    ASSERT_TRUE(codePage);
    EXPECT_EQ(codePage->ToUtf8(row.stored), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CodePageReading,
    ::testing::Values(
        ReadingCase{
            "HungarianInWindows1250", "WINDOWS-1250",
            "v\xE9g\xE9n \xF5 \xFB \xD5 \xDB \xE1rv\xEDzt\xFBr\xF5 t\xFck\xF6rf\xFAr\xF3g\xE9p",
            "végén ő ű Ő Ű árvíztűrő tükörfúrógép"},
        ReadingCase{"HungarianInIso8859_2", "ISO-8859-2",
                    "\xC1RV\xCDZT\xDBR\xD5 T\xDCK\xD6RF\xDAR\xD3G\xC9P \xA9",
                    "ÁRVÍZTŰRŐ TÜKÖRFÚRÓGÉP Š"},
        ReadingCase{"GermanInWindows1252", "WINDOWS-1252",
                    "\x84Gr\xFC\xDF Gott\x93 \xC4\xD6\xDC\xE4\xF6\xFC\xDF \x80",
                    "„Grüß Gott“ ÄÖÜäöüß €"},
        ReadingCase{"FrenchInWindows1252", "WINDOWS-1252",
                    "\xAB \x8Cuvre, c\x9Cur, \xE0 l'\xE9t\xE9, No\xEBl, \xC7"
                    "a \xBB",
                    "« Œuvre, cœur, à l'été, Noël, Ça »"},
        // Windows itself reads the bytes a code page leaves undefined as the
        // C1 controls of the same number: nothing is replaced.
        ReadingCase{"UndefinedBytesStandForThemselves", "WINDOWS-1252", "a\x81\x8D\x8F\x90\x9D",
                    "a\u0081\u008D\u008F\u0090\u009D"},
        // Three bytes of UTF-8 for each byte read.
        ReadingCase{"SignsLongerInUtf8", "WINDOWS-1252", std::string(40, '\x80') + "\x93",
                    [] {
                        std::string signs;
                        for (int i = 0; i < 40; ++i)
                            signs += "€";
                        return signs + "“";
                    }()},
        ReadingCase{"UndefinedByteOfWindows1250", "WINDOWS-1250", "\x98\xE9", "\u0098é"},
        // A poem another program added a UTF-8 line to keeps that line.
        ReadingCase{"LinesOfUtf8StayAsTheyAre", "WINDOWS-1250",
                    "v\xE9g\xE9n\r\nvégén\nv\xE9g\xE9n\r", "végén\r\nvégén\nvégén\r"},
        ReadingCase{"TextOfUtf8StaysWhole", "WINDOWS-1252", "Grüß \xEF\xBF\xBD",
                    "Grüß \xEF\xBF\xBD"},
        ReadingCase{"TruncatedUtf8ReadsInTheCodePage", "WINDOWS-1252", "Gr\xC3", "GrÃ"},
        ReadingCase{"EmptyLinesAndNoFinalBreak", "ISO-8859-2", "\r\n\r\n\xF5", "\r\n\r\nő"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NameCase {
    const char* name;
    const char* codePage;
    bool usable;
};

class CodePageNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(CodePageNames, OnlyCodePagesTheSystemReads) {
    EXPECT_EQ(CodePage::Named(GetParam().codePage).has_value(), GetParam().usable);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CodePageNames,
    ::testing::Values(NameCase{"AsTheUserWritesIt", "Windows-1250", true},
                      NameCase{"IconvAlias", "cp1252", true}, NameCase{"Iso", "iso-8859-2", true},
                      NameCase{"Empty", "", false}, NameCase{"Unknown", "Windows-9999", false},
                      NameCase{"Utf8", "UTF-8", false}, NameCase{"Utf16", "utf-16le", false},
                      NameCase{"Ucs", "UCS-2", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct CorpusText {
    std::string language;
    std::string text;
};

std::vector<CorpusText> Corpus() {
    std::ifstream in(STANZEL_CORPUS_FILE);
    std::vector<CorpusText> texts;
    std::string line;
    while (std::getline(in, line)) {
        const auto bar = line.find('|');
        if (line.empty() || line[0] == '#' || bar == std::string::npos)
            continue;
        texts.push_back({line.substr(0, bar), line.substr(bar + 1)});
    }
    return texts;
}

struct AccuracyCase {
    const char* name;
    const char* codePage;
    std::vector<std::string> languages;
};

class DetectionAccuracy : public ::testing::TestWithParam<AccuracyCase> {};

// Each text alone, as a collection of one poem would be judged: the
// detection is right when the text reads back with every letter, and named
// right when the detector also gives the code page it was written in (the
// Hungarian letters stand at the same bytes in Windows-1250 and ISO 8859-2,
// and what tells them apart is often missing from a short text).
TEST_P(DetectionAccuracy, ReadsMostTextsOfItsCodePageRightAndAllOfThemTogether) {
    const auto& row = GetParam();
    std::size_t texts = 0;
    std::size_t readRight = 0;
    std::size_t namedRight = 0;
    std::string all;
    std::map<std::string, int> answers;
    for (const auto& corpus : Corpus()) {
        if (std::find(row.languages.begin(), row.languages.end(), corpus.language) ==
            row.languages.end())
            continue;
        const std::string stored = Encoded(corpus.text, row.codePage);
        const std::string detected = DetectCodePage(stored);
        const auto codePage = CodePage::Named(detected);
        ASSERT_TRUE(codePage) << detected;
        ++texts;
        ++answers[detected];
        readRight += codePage->ToUtf8(stored) == CodePage::Named(row.codePage)->ToUtf8(stored);
        namedRight += EqualsIgnoringAsciiCase(detected, row.codePage);
        all += stored;
        all += '\n';
    }
    ASSERT_GE(texts, 30u);
    std::string spread;
    for (const auto& [name, count] : answers)
        spread += " " + name + "=" + std::to_string(count);
    std::printf(
        "[ accuracy ] %s: %zu texts, read right %zu (%.0f%%), named right %zu (%.0f%%);%s\n",
        row.codePage, texts, readRight, 100.0 * readRight / texts, namedRight,
        100.0 * namedRight / texts, spread.c_str());
    RecordProperty("readRight", std::to_string(readRight) + "/" + std::to_string(texts));
    EXPECT_GE(readRight * 10, texts * 8);
    // A collection's worth of text together.
    const std::string together = DetectCodePage(all);
    EXPECT_EQ(CodePage::Named(together)->ToUtf8(all), CodePage::Named(row.codePage)->ToUtf8(all))
        << together;
}

INSTANTIATE_TEST_SUITE_P(Corpus, DetectionAccuracy,
                         ::testing::Values(AccuracyCase{"Windows1250", "WINDOWS-1250", {"hu"}},
                                           AccuracyCase{"Iso8859_2", "ISO-8859-2", {"hu"}},
                                           AccuracyCase{
                                               "Windows1252", "WINDOWS-1252", {"de", "fr"}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DetectionCase {
    const char* name;
    std::string sample;
    const char* expected;
};

class DetectionAnswers : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(DetectionAnswers, NamesACodePageTheSystemReads) {
    EXPECT_EQ(DetectCodePage(GetParam().sample), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DetectionAnswers,
    ::testing::Values(
        // The Windows code pages use 0x80..0x9F for quotes and dashes, which
        // ISO 8859 leaves to control characters.
        DetectionCase{"QuotesMakeItWindows1250",
                      Encoded("„Ne félj semmitől” – mondta az anyja, amikor a fiú először indult "
                              "el egyedül a messzi városba, és ő tűrte.",
                              "WINDOWS-1250"),
                      "WINDOWS-1250"},
        DetectionCase{"NothingToJudgeFallsBack", "", "WINDOWS-1252"},
        DetectionCase{"PlainAsciiFallsBack", "plain words", "WINDOWS-1252"}),
    [](const auto& info) { return std::string(info.param.name); });

// A collection in one of the code pages: the settings file and the text
// that needs the code page.
class CollectionCodePageTest : public ::testing::Test {
protected:
    CollectionCodePage codePage(std::string sample = {}) {
        return CollectionCodePage({dir / "settings.ini"}, [sample](std::string& into) {
            AppendLinesNotUtf8(into, sample);
        });
    }
    std::string settings() const { return ReadBytes(dir / "settings.ini"); }

    TestDir dir;
    const std::string hungarian = Encoded(
        "Az öreg halász minden hajnalban kievezett a tóra, és csak akkor tért haza, amikor a "
        "nap már magasan járt a nádas fölött. Őszi szél fújt, a fűzfák hajladoztak.",
        "WINDOWS-1250");
};

TEST_F(CollectionCodePageTest, Utf8NeverSettlesItNorWritesSettings) {
    const auto collection = codePage();
    EXPECT_EQ(collection.ToUtf8("végén"), "végén");
    EXPECT_FALSE(collection.toRemember());
    EXPECT_FALSE(std::filesystem::exists(dir / "settings.ini"));
}

TEST_F(CollectionCodePageTest, DetectedOnceFromTheCollectionAndRemembered) {
    WriteBytes(dir / "settings.ini", "; mine\r\n[Save]\r\nautoid=3\r\n");
    const auto collection = codePage(hungarian);
    // Judged by the collection's text, not by the one short word at hand.
    EXPECT_EQ(collection.ToUtf8("\xF5"), "ő");
    EXPECT_EQ(collection.toRemember(), "ISO-8859-2");
    EXPECT_EQ(settings(), "; mine\r\n[Save]\r\nautoid=3\r\n[Text]\r\ncodepage=ISO-8859-2\r\n");
    // Settled for the run: the settings file is not read again.
    WriteBytes(dir / "settings.ini", "[Text]\r\ncodepage=WINDOWS-1252\r\n");
    EXPECT_EQ(collection.ToUtf8("\xF5"), "ő");
}

struct HandSetCase {
    const char* name;
    const char* setting;
    const char* expected; // "\xA9\xF5" read
};

class HandSetCodePage : public ::testing::TestWithParam<HandSetCase> {};

TEST_P(HandSetCodePage, TheUsersChoiceRulesAndStaysAsWritten) {
    TestDir dir;
    const std::string written = std::string("[Text]\r\ncodepage=") + GetParam().setting + "\r\n";
    WriteBytes(dir / "settings.ini", written);
    const CollectionCodePage collection({dir / "settings.ini"}, nullptr);
    EXPECT_EQ(collection.ToUtf8("\xA9\xF5"), GetParam().expected);
    EXPECT_FALSE(collection.toRemember());
    EXPECT_EQ(ReadBytes(dir / "settings.ini"), written);
}

INSTANTIATE_TEST_SUITE_P(Rows, HandSetCodePage,
                         ::testing::Values(HandSetCase{"Windows1250", "Windows-1250", "©ő"},
                                           HandSetCase{"Iso8859_2", "ISO-8859-2", "Šő"},
                                           HandSetCase{"Windows1252", "Windows-1252", "©õ"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CollectionCodePageTest, ANameTheSystemCannotReadIsDetectedOver) {
    WriteBytes(dir / "settings.ini", "[Text]\r\ncodepage=Klingon\r\n");
    const auto collection = codePage(hungarian);
    EXPECT_EQ(collection.ToUtf8("\xFB"), "ű");
    EXPECT_EQ(settings(), "[Text]\r\ncodepage=ISO-8859-2\r\n");
}

TEST_F(CollectionCodePageTest, ASettingsFileThatCannotBeWrittenStillReads) {
    std::filesystem::create_directory(dir / "settings.ini"); // no file can take its place
    const auto collection = codePage(hungarian);
    EXPECT_EQ(collection.ToUtf8("v\xE9g\xE9n"), "végén");
    EXPECT_EQ(collection.toRemember(), "ISO-8859-2");
}

} // namespace
} // namespace stanzel
