#include "base/text.h"

#include <gtest/gtest.h>

#include "base/texts.h"

using namespace kestro;

TEST(TextAfter, CutsAtTheFirstOccurrence) {
    EXPECT_EQ(TextAfter("System (C:)", "("), "C:)");
    EXPECT_EQ(TextAfter("a,b,c", ","), "b,c");
    EXPECT_EQ(TextAfter("abc", "c"), "");
    EXPECT_EQ(TextAfter("abc", "x"), "");
    EXPECT_EQ(TextAfter("abc", ""), "") << "an empty marker never occurs";
    EXPECT_EQ(TextAfter("", "a"), "");
    EXPECT_EQ(TextAfter("Files recovered: 3", "files recovered:"), "") << "the search is case-sensitive";
}

TEST(TextBefore, CutsAtTheFirstOccurrence) {
    EXPECT_EQ(TextBefore("C:\\Users\\Me", ":"), "C");
    EXPECT_EQ(TextBefore("a,b,c", ","), "a");
    EXPECT_EQ(TextBefore(",abc", ","), "") << "s begins with the marker";
    EXPECT_EQ(TextBefore("abc", "x"), "") << "the marker does not occur";
    EXPECT_EQ(TextBefore("abc", ""), "");
    EXPECT_EQ(TextBefore("C:)", ")"), "C:");
}

TEST(TextAfterLast, FindsTheLastOccurrence) {
    EXPECT_EQ(TextAfterLast("Data (old) (E:)", "(", false), "E:)");
    EXPECT_EQ(TextAfterLast("Data (old) (E:)", "(", true), "(E:)");
    EXPECT_EQ(TextAfterLast("a/b/c", "/", false), "c");
    EXPECT_EQ(TextAfterLast("abc", "x", false), "");
    EXPECT_EQ(TextAfterLast("abc", "x", true), "") << "no marker is added when it does not occur";
    EXPECT_EQ(TextAfterLast("abc", "", true), "");
    EXPECT_EQ(TextAfterLast("abc/", "/", true), "/");
}

TEST(TextAfterLast, CountsOverlappingOccurrences) {
    // "aa" occurs at 0, 1 and 2 of "aaaa": the last starts at 2, leaving nothing.
    EXPECT_EQ(TextAfterLast("aaaa", "aa", false), "");
    EXPECT_EQ(TextAfterLast("aaab", "aa", false), "b");
    EXPECT_EQ(TextAfterLast("xaaa", "aa", true), "aa");
    EXPECT_EQ(TextAfterLast("abababX", "aba", false), "bX");
}

TEST(TextBetween, IsTextBeforeOfTextAfter) {
    EXPECT_EQ(TextBetween("Files recovered: 25, total files: 100", "Files recovered:", ","), " 25");
    EXPECT_EQ(TextBetween(".dll, .ini", ".", ","), "dll");
    EXPECT_EQ(TextBetween(".log", ".", ","), "") << "no second marker after the first";
    EXPECT_EQ(TextBetween("a,b.c", ".", ","), "") << "the second marker must follow the first";
    EXPECT_EQ(TextBetween("x", "", "x"), "");
}

TEST(QuoteIfSpaced, WrapsOnlyTextWithABlank) {
    EXPECT_EQ(QuoteIfSpaced("D:\\Rescue"), "D:\\Rescue");
    EXPECT_EQ(QuoteIfSpaced("D:\\My Files"), "\"D:\\My Files\"");
    EXPECT_EQ(QuoteIfSpaced("tab\there"), "tab\there") << "only character 32 counts as a blank";
    EXPECT_EQ(QuoteIfSpaced(""), "");
    EXPECT_EQ(QuoteIfSpaced("\"a b\""), "\"\"a b\"\"") << "quoted text with a blank is wrapped once more";
}

TEST(TextRoutines, KeepUtf8CharactersWhole) {
    const std::string path = "E:\\Rettung\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE 2024";
    EXPECT_EQ(TextAfter(path, ":"), "\\Rettung\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE 2024");
    EXPECT_EQ(TextAfterLast(path, "\\", false), "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE 2024");
    EXPECT_EQ(QuoteIfSpaced(path), "\"" + path + "\"");
}

TEST(TrimAndCase, TrimControlCharactersAndLowerOnlyAscii) {
    EXPECT_EQ(Trim(" \t\b 45 \r\n"), "45");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(AsciiLower("Scanning DISK: \xC3\x84"), "scanning disk: \xC3\x84");
    EXPECT_TRUE(SameTextAscii("ntfs", "NTFS"));
    EXPECT_FALSE(SameTextAscii("NTFS", "NTFS "));
}

TEST(UnicodeSpace, KnowsEveryWhiteSpaceCharacterByItsUtf8Length) {
    struct Case {
        const char* text;
        std::size_t length;
    };
    const Case cases[] = {
        {"\t", 1}, {"\n", 1}, {"\v", 1}, {"\f", 1}, {"\r", 1}, {" x", 1},
        {"\xC2\x85", 2}, {"\xC2\xA0", 2}, {"\xE1\x9A\x80", 3}, {"\xE2\x80\x80", 3}, {"\xE2\x80\x8A", 3},
        {"\xE2\x80\xA8", 3}, {"\xE2\x80\xA9", 3}, {"\xE2\x80\xAF", 3}, {"\xE2\x81\x9F", 3}, {"\xE3\x80\x80", 3},
        // Near misses: zero width space, BOM, U+00A1, U+2030, U+180E, U+3001, cut sequences, NUL.
        {"\xE2\x80\x8B", 0}, {"\xEF\xBB\xBF", 0}, {"\xC2\xA1", 0}, {"\xE2\x80\xB0", 0}, {"\xE1\xA0\x8E", 0},
        {"\xE3\x80\x81", 0}, {"\xC2", 0}, {"\xE2\x80", 0}, {"\xE3", 0}, {"x ", 0}, {"", 0}, {".", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeadingSpaceLength(c.text), c.length) << c.text;
    }
    EXPECT_EQ(LeadingSpaceLength(std::string_view("\0 ", 2)), 0u);
    EXPECT_EQ(WithoutLeadingSpace(" \t\xC2\xA0\xE3\x80\x80.log \t"), ".log \t");
    EXPECT_TRUE(IsAllSpace("\xE2\x80\x83 \r\n"));
    EXPECT_TRUE(IsAllSpace(""));
    EXPECT_FALSE(IsAllSpace(" \xE2\x80\x8B"));
}

TEST(NameOfCaption, LeavesWhatTheLabelSaysWithoutMarkersColonAndBlanks) {
    const struct {
        const char* caption;
        const char* name;
    } cases[] = {
        {"Save to:", "Save to"},
        {"File name: ", "File name"},
        {"Modalit\xC3\xA9 :", "Modalit\xC3\xA9"}, // a blank before the colon
        {"Mode\xC2\xA0:\xE2\x80\xAF", "Mode"},         // no-break spaces
        // a full-width colon
        {"\xE4\xBF\x9D\xE5\xAD\x98\xE5\x85\x88\xEF\xBC\x9A", "\xE4\xBF\x9D\xE5\xAD\x98\xE5\x85\x88"},
        {"&OK", "OK"},
        {"Save && close", "Save & close"},
        {"Custom file types", "Custom file types"},
        {"Ratio: 1:2", "Ratio: 1:2"}, // only a closing colon goes
        {"Drive::", "Drive:"},
        {"a&", "a&"},
        {" : ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NameOfCaption(c.caption), c.name) << c.caption;
    }
}

TEST(StringTable, HoldsEachTextOnce) {
    const auto entries = AllTexts();
    ASSERT_GT(entries.size(), 20u);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
            EXPECT_NE(entries[i].id, entries[j].id) << entries[i].text;
        }
    }
    EXPECT_EQ(Text(IDS_PRODUCT_NAME), "Kestro Refindor");
    EXPECT_EQ(Text(IDS_OUTPUT_NOT_EXIST), "%1, the output directory does not exist.");
    EXPECT_EQ(Text(static_cast<TextId>(-5)), "");
}

TEST(FormatText, PutsEachArgumentWhereItsMarkerStands) {
    EXPECT_EQ(FormatText("about %1 min left", {"12"}), "about 12 min left");
    EXPECT_EQ(FormatText("%2 h %1", {"a", "b"}), "b h a");
    EXPECT_EQ(FormatText("%1%1", {"x"}), "xx");
    // Markers without an argument and lone percent signs are kept; an argument is not scanned again.
    EXPECT_EQ(FormatText("%2 of %1 at 50%", {"%2"}), "%2 of %2 at 50%");
    EXPECT_EQ(FormatText("ends with %", {}), "ends with %");
}
