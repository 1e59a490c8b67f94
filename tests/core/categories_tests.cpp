#include "job/categories.h"

#include <gtest/gtest.h>

#include <set>

using namespace kestro;

namespace {

std::string Joined(const std::vector<std::string>& patterns) {
    std::string hint;
    for (const auto& p : patterns) {
        hint += (hint.empty() ? "" : ", ") + p.substr(1);
    }
    return hint;
}

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
    const auto at = s.find(from);
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

} // namespace

TEST(CategoryTables, HoldTheirPatternsInOrderAndMatchTheirHints) {
    const std::size_t counts[] = {16, 16, 18, 13, 8, 21};
    for (int i = 0; i < kCategoryCount; ++i) {
        const auto c = static_cast<Category>(i);
        const auto& patterns = CategoryPatterns(c);
        EXPECT_EQ(patterns.size(), counts[i]) << i;
        for (const auto& p : patterns) {
            EXPECT_EQ(p.rfind("*.", 0), 0u) << p;
            EXPECT_EQ(p.find_first_of(" ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << p;
        }
        // The hints as shown carry two slips; apart from them they list the same extensions.
        const std::string hint = Replaced(Replaced(CategoryHint(c), ".aiff,  ", ".aiff, "), ".zip. ", ".zip, ");
        EXPECT_EQ(hint, Joined(patterns)) << i;
    }
    EXPECT_NE(CategoryHint(Category::Audios).find(".aiff,  .mp3"), std::string::npos);
    EXPECT_NE(CategoryHint(Category::Compressed).find(".zip. .zoo"), std::string::npos);
    EXPECT_EQ(DocumentTypes.front(), "*.txt");
    EXPECT_EQ(CompressedTypes.back(), "*.zz");
    EXPECT_EQ(VideoTypes.back(), "*.m3u8");
}

TEST(PatternList, FollowsTheCategoryOrderThenTheCustomTypes) {
    CategoryChoice choice;
    EXPECT_TRUE(BuildPatternList(choice).empty());

    choice.ticked[static_cast<int>(Category::Compressed)] = true;
    choice.ticked[static_cast<int>(Category::Documents)] = true;
    auto list = BuildPatternList(choice);
    ASSERT_EQ(list.size(), 37u);
    EXPECT_EQ(std::vector<std::string>(list.begin(), list.begin() + 16), DocumentTypes);
    EXPECT_EQ(std::vector<std::string>(list.begin() + 16, list.end()), CompressedTypes);
    EXPECT_EQ(std::set<std::string>(list.begin(), list.end()).size(), 37u);

    for (auto& t : choice.ticked) {
        t = true;
    }
    choice.custom = true;
    choice.customText = ".dll, .ini";
    list = BuildPatternList(choice);
    ASSERT_EQ(list.size(), 94u);
    EXPECT_EQ(list[16], PhotoTypes.front());
    EXPECT_EQ(list[91], CompressedTypes.back());
    EXPECT_EQ(list[92], "*.dll");
    EXPECT_EQ(list[93], "*.ini");
}

TEST(CustomPatterns, ReadExtensionsSeparatedByCommas) {
    struct Case {
        const char* text;
        std::vector<std::string> patterns;
    };
    const Case cases[] = {
        {".dll, .ini, .sys", {"*.dll", "*.ini", "*.sys"}},
        {".dll,.ini,.sys", {"*.dll", "*.ini", "*.sys"}},
        {".tar.gz", {"*.tar.gz"}},
        {".log,", {"*.log"}},
        {".txt, log", {"*.txt", "*log"}},
        {".TXT,   .Doc", {"*.TXT", "*.Doc"}},
        {".my ext , .b", {"*.my ext ", "*.b"}},
        {".a, .a", {"*.a", "*.a"}},
        // A trailing comma and blanks must not leave "*", which would recover every file.
        {".log, ", {"*.log"}},
        {".log,   ", {"*.log"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CustomPatterns(c.text), c.patterns) << c.text;
    }
}

TEST(CustomPatterns, TreatEveryPastedBlankAsABlank) {
    // Text pasted from a document or a web page brings tabs, no-break and other spaces along; a
    // trailing comma followed by any of them must not become a pattern that recovers every file.
    const char* const blanks[] = {
        "\t", "\r\n", "\v", "\f", "\xC2\x85", "\xC2\xA0", "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x83",
        "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80",
        " \t\xC2\xA0\xE3\x80\x80 ",
    };
    for (const char* blank : blanks) {
        const std::string b = blank;
        EXPECT_EQ(CustomPatterns(".log," + b), std::vector<std::string>{"*.log"}) << b;
        EXPECT_EQ(CustomPatterns(".log," + b + ".txt"), (std::vector<std::string>{"*.log", "*.txt"})) << b;
    }
    // Characters that only look blank, or are no characters at all, stay as they are.
    struct Case {
        std::string text;
        std::vector<std::string> patterns;
    };
    const Case kept[] = {
        {".log,\xE2\x80\x8B", {"*.log", "*\xE2\x80\x8B"}}, // zero width space
        {".log,\xEF\xBB\xBF", {"*.log", "*\xEF\xBB\xBF"}}, // byte order mark
        {".log,\xC2", {"*.log", "*\xC2"}},                 // a cut sequence
        {".log,\xE2\x80", {"*.log", "*\xE2\x80"}},
        {".my\xC2\xA0" "ext, .b", {"*.my\xC2\xA0" "ext", "*.b"}}, // inside a piece, as an ASCII blank would
    };
    for (const auto& c : kept) {
        EXPECT_EQ(CustomPatterns(c.text), c.patterns) << c.text;
    }
}
