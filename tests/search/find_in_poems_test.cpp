#include "search/find_in_poems.h"
#include "test_dir.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

using testing::TestDir;
using testing::WriteBytes;

// A collection on disk, and its text as Find in Poems holds it after the
// first query has read it.
class CollectionFixture {
protected:
    CollectionFixture() {
        std::filesystem::create_directory(dir / "poems");
        // Written directly rather than saved, which would flush every file.
        WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Őszi éjszaka\r\npoet=Ady Endre\r\ndate=1906\r\n"
                                      "[2]\r\ntitle=Mädchen am Fluß\r\npoet=Rainer Müller\r\n"
                                      "date=spring 1912\r\n"
                                      "[3]\r\ntitle=Le Château\r\npoet=Hélène Éluard\r\n"
                                      "[4]\r\ntitle=Night River\r\npoet=Walt Whitman\r\n"
                                      "date=c. 1850s\r\n");
        WriteBytes(dir / "poems" / "1.poem", "Az ősz hajnal\r\nfűzfa alatt");
        WriteBytes(dir / "poems" / "2.poem", "Über die Straße\r\nim Winter");
        WriteBytes(dir / "poems" / "3.poem", "Forêt d'été\nRêve de Noël");
        WriteBytes(dir / "poems" / "4.poem", "under the bell\r\nsalt and bread\r\n");
        readAll();
    }

    void readAll() {
        list = store.ListPoems();
        text.Follow(list);
        while (!text.ReadWaiting(store, 1000)) {
        }
    }

    std::vector<std::size_t> find(std::string_view typed) const {
        return text.Find(FindQuery(typed));
    }

    TestDir dir;
    PoemStore store{dir.path()};
    std::vector<PoemListEntry> list;
    CollectionText text;
};

struct MatchCase {
    const char* name;
    std::string_view typed;
    std::vector<std::size_t> rows;
};

class FindInPoemsTest : public CollectionFixture, public ::testing::TestWithParam<MatchCase> {};

TEST_P(FindInPoemsTest, FindsPoemsHoldingEveryWord) {
    EXPECT_EQ(find(GetParam().typed), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, FindInPoemsTest,
    ::testing::Values(MatchCase{"HungarianTypedWithoutAccents", "osz ejszaka", {0}},
                      MatchCase{"HungarianTypedInCapitals", "ŐSZI", {0}},
                      MatchCase{"GermanSsFindsSharpS", "strasse fluss", {1}},
                      MatchCase{"GermanSharpSFindsSharpS", "Straße", {1}},
                      MatchCase{"GermanUmlautTyped", "über müller", {1}},
                      MatchCase{"FrenchWithoutAccents", "foret ete", {2}},
                      MatchCase{"FrenchAccentsTyped", "CHÂTEAU éluard", {2}},
                      MatchCase{"MixedCase", "nIGHT RiVeR", {3}},
                      MatchCase{"WordsFromTitlePoetDateAndText", "ady 1906 hajnal szaka", {0}},
                      MatchCase{"PieceOfAWord", "hajn", {0}},
                      MatchCase{"EveryWordNeeded", "night hajnal", {}},
                      MatchCase{"ManyPoemsInListOrder", "a", {0, 1, 2, 3}},
                      MatchCase{"WordsOnTwoLines", "hajnal fűzfa", {0}},
                      MatchCase{"WordSplitOverTwoLines", "hajnalfűzfa", {}},
                      MatchCase{"WordSplitBetweenTitleAndPoet", "riverwalt", {}},
                      MatchCase{"EmptyQuery", "", {}}, MatchCase{"BlanksOnly", " \t ", {}}),
    [](const auto& info) { return std::string(info.param.name); });

class CollectionTextTest : public CollectionFixture, public ::testing::Test {};

TEST_F(CollectionTextTest, ReadsTheFilesInStepsAndFindsNothingUnread) {
    CollectionText fresh;
    fresh.Follow(list);
    EXPECT_EQ(fresh.waiting(), 4u);
    EXPECT_FALSE(fresh.ReadWaiting(store, 3));
    EXPECT_EQ(fresh.Find(FindQuery("a")), (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_TRUE(fresh.ReadWaiting(store, 3));
    EXPECT_EQ(fresh.Find(FindQuery("a")), (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(fresh.title(1), "Mädchen am Fluß");
}

TEST_F(CollectionTextTest, FollowsSavesAndDeletesWithoutReadingAgain) {
    // Files changed behind the program's back are not read again: the
    // commands tell the text what changed.
    WriteBytes(dir / "poems" / "4.poem", "quince");

    store.SavePoem(2, "Mädchen am Fluß", "Rainer Müller", "spring 1912", "Sommer");
    text.PoemSaved(store.LoadPoem("2"));
    const auto newId = store.SavePoem(0, "Imported", "", "", "winter light");
    text.PoemSaved({newId, "Imported", "", "", "winter light"});
    store.DeletePoem("1");
    list = store.ListPoems();
    text.Follow(list);

    EXPECT_EQ(text.waiting(), 0u);
    EXPECT_EQ(find("straße"), std::vector<std::size_t>{});
    EXPECT_EQ(find("sommer"), std::vector<std::size_t>{0});
    EXPECT_EQ(find("winter"), std::vector<std::size_t>{3});
    EXPECT_EQ(find("ősz"), std::vector<std::size_t>{});
    EXPECT_EQ(find("quince"), std::vector<std::size_t>{});
    ASSERT_EQ(text.size(), list.size());
    for (std::size_t row = 0; row < list.size(); ++row)
        EXPECT_EQ(text.id(row), list[row].id);
}

TEST_F(CollectionTextTest, ReadsOnlyPoemsItDoesNotKnow) {
    // A poem the index gained by other means is read; the others are kept.
    WriteBytes(dir / "poems" / "1.poem", "changed on disk");
    WriteBytes(dir / "poems.dmp", "[4]\r\ntitle=Night River\r\n[9]\r\ntitle=Added\r\n"
                                  "poet=Zoë\r\n[1]\r\ntitle=Őszi éjszaka\r\n");
    WriteBytes(dir / "poems" / "9.poem", "quince");
    list = store.ListPoems();
    text.Follow(list);
    EXPECT_EQ(text.waiting(), 1u);
    EXPECT_TRUE(text.ReadWaiting(store, 10));
    EXPECT_EQ(find("quince zoe"), std::vector<std::size_t>{1});
    EXPECT_EQ(find("hajnal"), std::vector<std::size_t>{2});
    EXPECT_EQ(find("changed"), std::vector<std::size_t>{});
}

TEST_F(CollectionTextTest, KeepsEveryKnownPoemWhateverTheOrder) {
    const std::vector<PoemListEntry> rows{{"1", ""}, {"3", ""}, {"2", ""}, {"4", ""}};
    text.Follow(rows);
    EXPECT_EQ(text.waiting(), 0u);
    EXPECT_EQ(find("winter"), std::vector<std::size_t>{2});
    const std::vector<PoemListEntry> dropped{{"4", ""}, {"2", ""}};
    text.Follow(dropped);
    EXPECT_EQ(text.waiting(), 0u);
    EXPECT_EQ(find("a"), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(text.id(0), "4");
    EXPECT_EQ(text.title(1), "Mädchen am Fluß");
}

TEST_F(CollectionTextTest, AnUnreadablePoemKeepsItsFieldsAndStopsNoOther) {
    std::filesystem::create_directory(dir / "poems" / "9.poem");
    WriteBytes(dir / "poems.dmp", "[9]\r\ntitle=Broken\r\n[1]\r\ntitle=Őszi éjszaka\r\n");
    WriteBytes(dir / "poems" / "1.poem", "hajnal");
    CollectionText fresh;
    list = store.ListPoems();
    fresh.Follow(list);
    EXPECT_TRUE(fresh.ReadWaiting(store, 10));
    EXPECT_EQ(fresh.Find(FindQuery("broken")), std::vector<std::size_t>{0});
    EXPECT_EQ(fresh.Find(FindQuery("hajnal")), std::vector<std::size_t>{1});
}

struct DescribeCase {
    const char* name;
    std::string_view typed;
    std::size_t row;
    PoemMatch::Field field;
    std::string_view line;
    std::vector<ByteRange> ranges;
};

class DescribeMatchTest : public CollectionFixture,
                          public ::testing::TestWithParam<DescribeCase> {};

TEST_P(DescribeMatchTest, ShowsTheLineHoldingMostWordsWithThemMarked) {
    const auto& expected = GetParam();
    const auto match = text.DescribeMatch(expected.row, FindQuery(expected.typed), store);
    EXPECT_EQ(match.field, expected.field);
    EXPECT_EQ(match.line, expected.line);
    EXPECT_EQ(match.ranges, expected.ranges);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DescribeMatchTest,
    ::testing::Values(
        DescribeCase{"Title", "night", 3, PoemMatch::Field::Title, "Night River", {{0, 5}}},
        DescribeCase{"Poet", "muller", 1, PoemMatch::Field::Poet, "Rainer Müller", {{7, 14}}},
        DescribeCase{
            "TextBeforeTitle", "ŐSZ", 0, PoemMatch::Field::Text, "Az ősz hajnal", {{3, 7}}},
        DescribeCase{"TitleHoldingMoreWords",
                     "ősz éjszaka",
                     0,
                     PoemMatch::Field::Title,
                     "Őszi éjszaka",
                     {{0, 4}, {6, 14}}},
        DescribeCase{"TextLineOfMostWords",
                     "the bread salt",
                     3,
                     PoemMatch::Field::Text,
                     "salt and bread",
                     {{0, 4}, {9, 14}}},
        DescribeCase{"SharpSMarkedWhole",
                     "STRASSE ü",
                     1,
                     PoemMatch::Field::Text,
                     "Über die Straße",
                     {{0, 2}, {10, 17}}},
        DescribeCase{"OverlappingWordsJoined",
                     "ret fore",
                     2,
                     PoemMatch::Field::Text,
                     "Forêt d'été",
                     {{0, 6}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CollectionTextTest, ShowsTheHeldLineWhenTheFileChangedBehindItsBack) {
    WriteBytes(dir / "poems" / "4.poem", "something else");
    const auto match = text.DescribeMatch(3, FindQuery("BREAD"), store);
    EXPECT_EQ(match.field, PoemMatch::Field::Text);
    EXPECT_EQ(match.textLine, 1u);
    EXPECT_EQ(match.line, "salt and bread");
    EXPECT_EQ(match.ranges, (std::vector<ByteRange>{{9, 14}}));
}

TEST(FindInPoems, FirstMatchIsTheEarliestOfAnyWord) {
    EXPECT_EQ(FirstMatch("Az ősz hajnal\r\nŐSZ", FindQuery("hajnal osz")), (ByteRange{3, 7}));
    EXPECT_EQ(FirstMatch("Az ősz", FindQuery("tél")), std::nullopt);
    EXPECT_EQ(FirstMatch("Az ősz", FindQuery("")), std::nullopt);
}

} // namespace
} // namespace stanzel
