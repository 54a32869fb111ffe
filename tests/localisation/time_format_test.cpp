#include "localisation/time_format.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

struct FormatRow {
    const char* name;
    const char* format;
    const char* expected;
};

class TimeFormatWithoutZoneTest : public ::testing::TestWithParam<FormatRow> {};

TEST_P(TimeFormatWithoutZoneTest, DropsTheZoneAndWhatSurroundedIt) {
    EXPECT_EQ(TimeFormatWithoutZone(GetParam().format), GetParam().expected);
}

// The long time formats of real locales, and what may surround a zone.
INSTANTIATE_TEST_SUITE_P(
    Locales, TimeFormatWithoutZoneTest,
    ::testing::Values(
        FormatRow{"English", "HH:mm:ss t", "HH:mm:ss"},
        FormatRow{"SpanishInBrackets", "H:mm:ss (t)", "H:mm:ss"},
        FormatRow{"AlbanianAfterComma", "h:mm:ss AP, t", "h:mm:ss AP"},
        FormatRow{"BelarusianAfterComma", "HH:mm:ss, t", "HH:mm:ss"},
        FormatRow{"TaiwanInSquareBrackets", "Bh:mm:ss [t]", "Bh:mm:ss"},
        FormatRow{"BurmeseZoneFirst", "t HH:mm:ss", "HH:mm:ss"},
        FormatRow{"HongKongZoneFirst", "t APh:mm:ss", "APh:mm:ss"},
        FormatRow{"LowGermanQuotedWord", "'Klock' H.mm:ss (t)", "'Klock' H.mm:ss"},
        FormatRow{"FrenchQuotedUnits", "H 'h' mm 'min' ss 's' t", "H 'h' mm 'min' ss 's'"},
        FormatRow{"QuotedTIsText", "HH:mm:ss 'at' t", "HH:mm:ss 'at'"},
        FormatRow{"EscapedQuoteInLiteral", "HH 'o''t' mm:ss t", "HH 'o''t' mm:ss"},
        FormatRow{"NoBreakSpaceAndFullWidthBrackets",
                  "H:mm:ss\xC2\xA0\xEF\xBC\x88t\xEF\xBC\x89", "H:mm:ss"},
        FormatRow{"ZoneBetweenFieldsLeavesOneBlank", "HH:mm (t), ss", "HH:mm ss"},
        FormatRow{"LongZoneRun", "HH:mm:ss tttt", "HH:mm:ss"},
        FormatRow{"NoZone", "HH:mm:ss", "HH:mm:ss"},
        FormatRow{"BracketsThatHoldMoreStay", "HH:mm:ss (AP t)", "HH:mm:ss (AP)"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace stanzel
