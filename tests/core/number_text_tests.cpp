#include "base/number_text.h"

#include <gtest/gtest.h>

using namespace kestro;

TEST(GroupDigits, FollowsTheLocalesGroupingForm) {
    struct Case {
        std::uint64_t value;
        const char* grouping;
        const char* separator;
        const char* text;
    };
    const Case cases[] = {
        {0, "3;0", ",", "0"},
        {999, "3;0", ",", "999"},
        {1000, "3;0", ",", "1,000"},
        {1234567, "3;0", ",", "1,234,567"},
        {1204, "3;0", ".", "1.204"},
        // The separator is whatever the locale says, a no-break space or several bytes of UTF-8.
        {1234567, "3;0", "\xC2\xA0", "1\xC2\xA0" "234\xC2\xA0" "567"},
        {1234567, "3;0", "\xE2\x80\xAF", "1\xE2\x80\xAF" "234\xE2\x80\xAF" "567"},
        {1234567, "3;0", "", "1234567"},
        // Indian grouping: three, then twos.
        {1234567, "3;2;0", ",", "12,34,567"},
        {123456789, "3;2;0", ",", "12,34,56,789"},
        // Without the final 0 the digits left over stay together.
        {1234567890, "3", ",", "1234567,890"},
        {1234567890, "3;2", ",", "12345,67,890"},
        {1234567, "0", ",", "1234567"},
        {1234567, "", ",", "1234567"},
        {18446744073709551615ull, "3;0", ",", "18,446,744,073,709,551,615"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GroupDigits(c.value, c.grouping, c.separator), c.text) << c.value << " " << c.grouping;
    }
}

TEST(ClockText, IsHoursMinutesAndSecondsWithHoursGrowingPastADay) {
    EXPECT_EQ(ClockText(0), "0:00:00");
    EXPECT_EQ(ClockText(1), "0:00:01");
    EXPECT_EQ(ClockText(59), "0:00:59");
    EXPECT_EQ(ClockText(60), "0:01:00");
    EXPECT_EQ(ClockText(83), "0:01:23");
    EXPECT_EQ(ClockText(3599), "0:59:59");
    EXPECT_EQ(ClockText(3600), "1:00:00");
    EXPECT_EQ(ClockText(36'000 * 10), "100:00:00");
}
