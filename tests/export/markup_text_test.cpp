#include "export/markup_text.h"
#include "storage/code_page.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

constexpr std::string_view kFffd = "\xEF\xBF\xBD";

std::string Xml(std::string_view text, XmlTextRules rules = {}) {
    std::string out = "[";
    AppendXmlText(out, text, rules);
    return out + "]";
}

std::string Fffd(int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += kFffd;
    return out;
}

TEST(MarkupTextTest, Escaping) {
    EXPECT_EQ(Xml("Tom & Jerry <1> \"q\" 'a'"), "[Tom &amp; Jerry &lt;1&gt; \"q\" 'a']");
    EXPECT_EQ(Xml("a\"b&c", {.attribute = true}), "[a&quot;b&amp;c]");
    EXPECT_EQ(Xml("&amp;"), "[&amp;amp;]");
    EXPECT_EQ(Xml(""), "[]");
}

TEST(MarkupTextTest, LineBreaks) {
    EXPECT_EQ(Xml("a\nb\rc\r\nd\n\re"), "[a\nb\rc\r\nd\n\re]");
    EXPECT_EQ(Xml("a\nb\rc\r\nd\n\re\r", {.crLfBreaks = true}), "[a\r\nb\r\nc\r\nd\r\n\r\ne\r\n]");
}

// UTF-8 passes through; anything else becomes U+FFFD, one per maximal
// ill-formed part, and so do characters no XML document may hold.
TEST(MarkupTextTest, Utf8AndCharactersXmlRefuses) {
    struct Row {
        const char* name;
        std::string_view input;
        std::string expected;
    };
    const Row rows[] = {
        {"Accented", "Őszi éj, fűzfa", "Őszi éj, fűzfa"},
        {"FourByte", "\xF0\x9F\x8C\xA7 rain", "\xF0\x9F\x8C\xA7 rain"},
        {"Latin2Byte", "f\xF5z", "f" + Fffd(1) + "z"},
        {"TwoStrayBytes",
         "a\xF5\xFB"
         "b",
         "a" + Fffd(2) + "b"},
        {"CutOffAtEnd", "ab\xC5", "ab" + Fffd(1)},
        {"CutOffThreeByte", "\xE2\x82x", Fffd(1) + "x"},
        {"Overlong", "\xC0\xAF", Fffd(2)},
        {"Surrogate", "\xED\xA0\x80", Fffd(3)},
        {"BeyondUnicode", "\xF4\x90\x80\x80", Fffd(4)},
        {"StrayContinuation", "\x80\xBF", Fffd(2)},
        {"ControlCharacters", std::string_view("a\x01\x1F\x00z", 5), "a" + Fffd(3) + "z"},
        {"TabKept", "a\tb", "a\tb"},
        {"DeleteKept", "a\x7F", "a\x7F"},
        {"NonCharacters", "\xEF\xBF\xBE\xEF\xBF\xBF", Fffd(2)},
        {"ReplacementCharacterKept", "\xEF\xBF\xBD", Fffd(1)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Xml(row.input), "[" + row.expected + "]") << row.name;
        EXPECT_TRUE(IsUtf8(Xml(row.input))) << row.name;
    }
}

} // namespace
} // namespace stanzel
