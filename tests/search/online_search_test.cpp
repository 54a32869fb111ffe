#include "search/online_search.h"
#include "storage/ini_file.h"
#include "storage/settings.h"
#include "test_dir.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

using testing::TestDir;
using testing::WriteBytes;

struct AddressCase {
    const char* name;
    std::string_view line;
    std::string_view address;
};

class EngineAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(EngineAddressTest, TakesTheTextAfterTheFirstBar) {
    EXPECT_EQ(EngineAddress(GetParam().line), GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(
    Prefix, EngineAddressTest,
    ::testing::Values(
        AddressCase{"BareHostGetsHttp",
                    "G|www.google.com/search?q=", "http://www.google.com/search?q="},
        AddressCase{"HttpsIsKept", "D|https://duckduckgo.com/?q=", "https://duckduckgo.com/?q="},
        AddressCase{"CapitalSchemeIsKept", "C|HTTP://EXAMPLE.ORG/?q=", "HTTP://EXAMPLE.ORG/?q="},
        AddressCase{"MixedCaseHttpsIsKept", "M|HtTpS://example.org/", "HtTpS://example.org/"},
        AddressCase{"HttpInsideIsNoScheme", "W|web.archive.org/web/http://",
                    "http://web.archive.org/web/http://"},
        AddressCase{"OtherSchemeGetsHttp", "F|file:///etc/passwd", "http://file:///etc/passwd"},
        AddressCase{"FurtherBarsBelongToTheAddress", "a|b|c", "http://b|c"},
        AddressCase{"EmptyAddress", "E|", "http://"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SearchCase {
    const char* name;
    std::string_view searchUrl;
    std::string_view query;
    std::optional<std::string> opened;
};

class SearchAddressTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SearchAddressTest, OpensOnlyWebAddresses) {
    EXPECT_EQ(OnlineSearchAddress(GetParam().searchUrl, GetParam().query), GetParam().opened);
}

INSTANTIATE_TEST_SUITE_P(AsTyped, SearchAddressTest,
                         ::testing::Values(SearchCase{"Blanks", "http://e.org/?q=", " Red  Rose ",
                                                      "http://e.org/?q= Red  Rose "},
                                           SearchCase{"NonAsciiBytes", "https://e.org/?q=",
                                                      "R\xc3\xb3\xc5\xbc"
                                                      "a",
                                                      "https://e.org/?q=R\xc3\xb3\xc5\xbc"
                                                      "a"},
                                           SearchCase{"SignsOfAddresses", "http://e.org/?q=",
                                                      "a&b#c%20", "http://e.org/?q=a&b#c%20"}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    NotOpened, SearchAddressTest,
    ::testing::Values(SearchCase{"EmptyQuery", "http://e.org/?q=", "", std::nullopt},
                      SearchCase{"NoEngineBareWord", "", "rose", std::nullopt},
                      SearchCase{"NoEngineLocalFile", "", "/usr/bin/xterm", std::nullopt},
                      SearchCase{"NoEngineFileAddress", "", "file:///home", std::nullopt},
                      SearchCase{"NoEngineTypedWebAddress", "", "HTTPS://e.org/",
                                 "HTTPS://e.org/"}),
    [](const auto& info) { return std::string(info.param.name); });

// A program directory with a search.egs, and the search state over it.
class EngineChoice : public ::testing::Test {
protected:
    void Build(std::string_view file) {
        WriteBytes(EngineFilePath(dir_.path()), file);
        ASSERT_TRUE(search_.BuildMenu(dir_.path()));
    }

    TestDir dir_;
    OnlineSearch search_;
};

TEST_F(EngineChoice, TheChosenEntrysOwnLineGivesTheAddress) {
    Build("Web|web.example/?q=\r\nWeb Images|img.example/?q=\r\nnote Web\r\n");
    ASSERT_TRUE(search_.ChooseEngine(0));
    EXPECT_EQ(search_.searchUrl(), "http://web.example/?q=");
    ASSERT_TRUE(search_.ChooseEngine(1));
    EXPECT_EQ(search_.searchUrl(), "http://img.example/?q=");
}

TEST_F(EngineChoice, NamesThatMatchNoLineStillChoose) {
    Build("R&D|rd.example/?q=\r\n|anon.example/?q=\r\n-|minus.example/?q=");
    ASSERT_TRUE(search_.ChooseEngine(0));
    EXPECT_EQ(search_.AddressFor("x"), "http://rd.example/?q=x");
    ASSERT_TRUE(search_.ChooseEngine(1));
    EXPECT_EQ(search_.AddressFor("x"), "http://anon.example/?q=x");
    ASSERT_TRUE(search_.ChooseEngine(2));
    EXPECT_EQ(search_.AddressFor("x"), "http://minus.example/?q=x");
}

TEST_F(EngineChoice, CheckMarkAndPositionCountSeparators) {
    Build("A|a.example/\r\n\r\nnote\r\nB|b.example/");
    ASSERT_TRUE(search_.ChooseEngine(2));
    EXPECT_EQ(search_.checkedPosition(), 2u);
    EXPECT_EQ(search_.selectedEngine(), 2);
    ASSERT_TRUE(search_.ChooseEngine(0));
    EXPECT_EQ(search_.checkedPosition(), 0u);
    EXPECT_EQ(search_.selectedEngine(), 0);
}

TEST_F(EngineChoice, ASeparatorOrAMissingEntryChangesNothing) {
    Build("A|a.example/\r\n\r\n");
    ASSERT_TRUE(search_.ChooseEngine(0));
    EXPECT_FALSE(search_.ChooseEngine(1));
    EXPECT_FALSE(search_.ChooseEngine(2));
    EXPECT_EQ(search_.checkedPosition(), 0u);
    EXPECT_EQ(search_.selectedEngine(), 0);
    EXPECT_EQ(search_.searchUrl(), "http://a.example/");
}

TEST_F(EngineChoice, NoEngineOpensNothing) {
    Build("A|a.example/");
    EXPECT_EQ(search_.searchUrl(), "");
    EXPECT_FALSE(search_.AddressFor("rose"));
}

struct RestoreCase {
    const char* name;
    std::int32_t saved;
    std::optional<std::size_t> checked;
    std::string_view searchUrl;
};

class RestoreChoiceTest : public EngineChoice, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreChoiceTest, ChecksThePositionAndKeepsItForClose) {
    Build("A|a.example/?q=\r\n\r\nB|https://b.example/?q=\r\n-|m.example/?q=\r\n");
    search_.RestoreChoice(GetParam().saved);
    EXPECT_EQ(search_.checkedPosition(), GetParam().checked);
    EXPECT_EQ(search_.searchUrl(), GetParam().searchUrl);
    EXPECT_EQ(search_.selectedEngine(), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(SavedPositions, RestoreChoiceTest,
                         ::testing::Values(RestoreCase{"Engine", 2, 2u, "https://b.example/?q="},
                                           RestoreCase{"Separator", 1, 1u, ""},
                                           RestoreCase{"EngineNamedMinus", 3, 3u,
                                                       "http://m.example/?q="},
                                           RestoreCase{"PastTheLast", 4, std::nullopt, ""},
                                           RestoreCase{"Negative", -1, std::nullopt, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineChoice, FirstStartChoosesTheFirstEngine) {
    Build("A|a.example/?q=\r\nB|b.example/?q=");
    search_.RestoreChoice(ReadSetting(IniFile(SettingsPath(dir_.path())), setting::searchEngine));
    EXPECT_EQ(search_.checkedPosition(), 0u);
    EXPECT_EQ(search_.AddressFor("rose"), "http://a.example/?q=rose");
}

TEST(EngineMenu, MissingFileLeavesMenuEmptyAndChoosesNothing) {
    TestDir dir;
    OnlineSearch search;
    EXPECT_FALSE(search.BuildMenu(dir.path()));
    search.RestoreChoice(0);
    EXPECT_TRUE(search.menu().empty());
    EXPECT_FALSE(search.checkedPosition());
    EXPECT_FALSE(search.AddressFor("rose"));
    EXPECT_EQ(search.selectedEngine(), 0);
}

TEST_F(EngineChoice, ConfirmedEditRebuildsWithNoEngineButKeepsThePosition) {
    Build("A|a.example/?q=\r\nB|b.example/?q=");
    ASSERT_TRUE(search_.ChooseEngine(1));
    WriteBytes(EngineFilePath(dir_.path()), "C|c.example/?q=\r\n\r\nD|d.example/?q=");
    search_.RebuildAfterEdit(dir_.path());

    EXPECT_EQ(search_.menu().size(), 3u);
    EXPECT_EQ(search_.engineLines().front(), "C|c.example/?q=");
    EXPECT_FALSE(search_.checkedPosition());
    EXPECT_FALSE(search_.AddressFor("rose"));
    EXPECT_EQ(search_.selectedEngine(), 1);
}

TEST_F(EngineChoice, ConfirmedEditOfADeletedFileEmptiesTheMenu) {
    Build("A|a.example/?q=");
    ASSERT_TRUE(search_.ChooseEngine(0));
    std::filesystem::remove(EngineFilePath(dir_.path()));
    search_.RebuildAfterEdit(dir_.path());
    EXPECT_TRUE(search_.menu().empty());
    EXPECT_FALSE(search_.ChooseEngine(0));
    EXPECT_FALSE(search_.AddressFor("rose"));
}

} // namespace
} // namespace stanzel
