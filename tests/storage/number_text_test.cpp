#include "storage/number_text.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

TEST(FormatInt32, PlainDecimal) {
    EXPECT_EQ(FormatInt32(0), "0");
    EXPECT_EQ(FormatInt32(-5), "-5");
    EXPECT_EQ(FormatInt32(2147483647), "2147483647");
    EXPECT_EQ(FormatInt32(-2147483647 - 1), "-2147483648");
}

TEST(ParseInt32, RoundTripsFormattedValues) {
    for (std::int32_t value : {0, 1, -1, 123456, -2147483647 - 1, 2147483647})
        EXPECT_EQ(ParseInt32(FormatInt32(value)), value);
}

TEST(ParseInt32, HexadecimalForms) {
    EXPECT_EQ(ParseInt32("$00000001"), 1);
    EXPECT_EQ(ParseInt32("$0000000000FF"), 255); // leading zeros do not overflow
    EXPECT_EQ(ParseInt32("$80000000"), -2147483647 - 1);
    EXPECT_FALSE(ParseInt32("-$1F")); // a sign goes with decimal numbers only
    EXPECT_FALSE(ParseInt32("0x-1"));
}

} // namespace
} // namespace stanzel
