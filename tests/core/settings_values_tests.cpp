#include "base/settings_values.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestro;

namespace {
constexpr std::int32_t kDefault = -77; // no stored value below reads as this by accident
}

TEST(ProfileInteger, ReadsDecimalAndBothHexadecimalForms) {
    struct Case {
        const char* stored;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"0", 0},
        {"1", 1},
        {"-1", -1}, // "no selection" as the window writes it
        {"+5", 5},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"0x1", 1},
        {"0X1f", 31},
        {"0x7FFFFFFF", 2147483647},
        {"$1F", 31},
        {"$0", 0},
        {"$ffffffff", -1}, // a 32-bit pattern
        {"0x80000000", -2147483647 - 1},
        {"0x000000001", 1}, // leading zeros do not count towards the 32 bits
        {" 12 ", 12},
        {"\t3", 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileInteger(c.stored, kDefault), c.expected) << '"' << c.stored << '"';
    }
}

TEST(ProfileInteger, GivesTheDefaultForWhatIsNotAWholeNumber) {
    const char* const unreadable[] = {
        "",         "   ", "abc", "12abc", "1 2", "1.5", "1e3", "-", "+", "--1",
        "0x",  // two characters only: not the hexadecimal form, and not decimal either
        "0xg", // hexadecimal form, no hexadecimal digit
        "$",        "$-1",
        "-0x1", // a sign belongs to decimal numbers only
        "x1F",  // neither prefix
        "#1F",
        "\xD0\xB4", // a Cyrillic letter
    };
    for (const char* value : unreadable) {
        EXPECT_EQ(ParseProfileInteger(value), std::nullopt) << '"' << value << '"';
        EXPECT_EQ(ProfileInteger(value, kDefault), kDefault) << '"' << value << '"';
    }
}

TEST(ProfileInteger, TreatsValuesBeyondThirtyTwoBitsAsUnreadable) {
    const char* const tooLarge[] = {
        "2147483648",  "-2147483649", "4294967295",         "4294967296", "99999999999999999999999",
        "0x100000000", "$1FFFFFFFF",  "0xFFFFFFFFFFFFFFFF",
    };
    for (const char* value : tooLarge) {
        EXPECT_EQ(ProfileInteger(value, kDefault), kDefault) << value;
    }
}

TEST(ProfileBool, IsTrueForEveryIntegerButZero) {
    EXPECT_TRUE(ProfileBool("1", false));
    EXPECT_TRUE(ProfileBool("2", false));
    EXPECT_TRUE(ProfileBool("-1", false));
    EXPECT_TRUE(ProfileBool("0x10", false));
    EXPECT_FALSE(ProfileBool("0", true));
    EXPECT_FALSE(ProfileBool("$0", true));
    // Missing or unreadable: the default.
    EXPECT_FALSE(ProfileBool("", false));
    EXPECT_FALSE(ProfileBool("yes", false));
    EXPECT_FALSE(ProfileBool("true", false));
    EXPECT_TRUE(ProfileBool("true", true));
    EXPECT_FALSE(ProfileBool("4294967296", false)) << "a value beyond 32 bits is not cut to 0 or to its low bits";
}

TEST(ProfileTexts, ReadBackAsWritten) {
    EXPECT_EQ(ProfileBoolText(true), "1");
    EXPECT_EQ(ProfileBoolText(false), "0");
    for (const std::int32_t value : {0, -1, 1, 42, 2147483647, -2147483647 - 1}) {
        EXPECT_EQ(ProfileIntegerText(value), std::to_string(value));
        EXPECT_EQ(ProfileInteger(ProfileIntegerText(value), kDefault), value);
    }
}

TEST(SettingsFileKind, TellsTextFromWhatTheProfileFunctionsShouldNotRead) {
    using K = SettingsFileKind;
    const std::string utf16Bom("\xFF\xFE", 2);
    const std::string utf16Options = utf16Bom + std::string("[\0O\0]\0\r\0\n\0", 10);
    struct Case {
        std::string bytes;
        K kind;
        const char* what;
    };
    const Case cases[] = {
        {"", K::Ansi, "an empty file"},
        {"[Options]\r\nSourcePath=C:\\Daten\xE4\r\n", K::Ansi, "an earlier version's file"},
        {"\xEF\xBB\xBF[Options]\r\n", K::Utf8Bom, "UTF-8 with its mark"},
        {utf16Bom, K::Utf16Le, "a fresh file: the mark alone"},
        {utf16Options, K::Utf16Le, "UTF-16LE text"},
        {utf16Options + "x", K::Invalid, "UTF-16LE cut in the middle of a character"},
        {utf16Bom + std::string("A\0\0\0", 4), K::Invalid, "UTF-16LE with a zero character"},
        {std::string("[\0O\0]\0", 6), K::Invalid, "UTF-16LE without its mark"},
        {std::string("\xFE\xFF\0[\0O", 6), K::Invalid, "UTF-16BE"},
        {std::string("MZ\x90\0\x03\0\0\0", 8), K::Invalid, "a program"},
        {std::string(kMaxSettingsFileSize, 'a'), K::Ansi, "text up to the size limit"},
        {std::string(kMaxSettingsFileSize + 1, 'a'), K::Invalid, "larger than the limit"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifySettingsFile(c.bytes), c.kind) << c.what;
    }
}
