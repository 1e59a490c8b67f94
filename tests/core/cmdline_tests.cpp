#include "job/cmdline.h"

#include <gtest/gtest.h>

#include <random>

using namespace kestro;

namespace {

std::string CommandLineOf(const std::vector<std::string>& args) {
    std::string line;
    for (const auto& a : args) {
        line += QuoteArgument(a) + " ";
    }
    return line;
}

} // namespace

TEST(QuoteArgument, QuotesOnlyWhatNeedsIt) {
    struct Case {
        const char* value;
        const char* written;
    };
    const Case cases[] = {
        {"D:\\Rescue", "D:\\Rescue"},
        {"\\Users\\Me\\Documents\\", "\\Users\\Me\\Documents\\"},
        {"*.mm1", "*.mm1"},
        {"", "\"\""},
        {"D:\\My Files", "\"D:\\My Files\""},
        {"D:\\My Files\\", "\"D:\\My Files\\\\\""},
        {"\\Old Work\\\\", "\"\\Old Work\\\\\\\\\""},
        {"a\\\\ b", "\"a\\\\ b\""},
        {"tab\there", "\"tab\there\""},
        {"a\"b", "\"a\\\"b\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteArgument(c.value), c.written) << c.value;
    }
}

// The rows were measured against CommandLineToArgvW (Wine 8) with "prog " in front.
TEST(ParseArguments, FollowsTheSystemParser) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"", {}},
        {"  lead  trail  ", {"lead", "trail"}},
        {"a\tb", {"a", "b"}},
        {"\"\" \"\"", {"", ""}},
        {"\"a b\"c d", {"a bc", "d"}},
        {"\"ab", {"ab"}},
        {"a\\\\\"b c\"", {"a\\b c"}},
        {"a\\\\\\\"b", {"a\\\"b"}},
        {"a\\b\\\\c", {"a\\b\\\\c"}},
        {"\"\\Old Work\\\\\"", {"\\Old Work\\"}},
        {"\"\\Old Work\\\" x", {"\\Old Work\" x"}},
        {"\"a\"\"b c\"", {"a\"b", "c"}},
        {"a\"\"b", {"ab"}},
        {"a\"\"\"b", {"a\"b"}},
        {"\"a\"\"\"\"b\"", {"a\"b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseArguments(c.line), c.args) << c.line;
    }
}

TEST(QuoteArgument, EveryValueParsesBackUnchanged) {
    const std::vector<std::string> awkward = {
        "",
        " ",
        "\\",
        "\\\\",
        "\\ ",
        "a b\\",
        "a b\\\\",
        "\"",
        "\"\"",
        "\\\"",
        "a \\\"b\\",
        "\t",
        "x\"y z",
        "C:\\Program Files\\",
        "\\Old Work\\my plan.docx",
        "E:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE 2024\\",
        "\xF0\x9F\x93\x81 \\",
    };
    EXPECT_EQ(ParseArguments(CommandLineOf(awkward)), awkward);

    // Random strings over the characters that matter to the parser, with a fixed seed.
    const char alphabet[] = {'a', ' ', '\t', '\\', '"', '\xC3', '\xA9'};
    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> args(1 + random() % 4);
        for (auto& a : args) {
            const auto length = random() % 8;
            for (unsigned i = 0; i < length; ++i) {
                a.push_back(alphabet[random() % sizeof(alphabet)]);
            }
        }
        ASSERT_EQ(ParseArguments(CommandLineOf(args)), args) << CommandLineOf(args);
    }
}

TEST(ToolCommandLine, IsTheNameAndTheArgumentsWithoutTrailingBlanks) {
    EXPECT_EQ(ToolCommandLine("winfr", "C: E:\\out /regular "), "winfr C: E:\\out /regular");
    EXPECT_EQ(ToolCommandLine("winfr", "C: E:\\out \t\r\n "), "winfr C: E:\\out");
    EXPECT_EQ(ToolCommandLine("winfr", "   "), "winfr");
    EXPECT_EQ(ToolCommandLine("winfr", ""), "winfr");
    EXPECT_EQ(ToolCommandLine("my tool", "C: "), "\"my tool\" C:");
    // Blanks inside the arguments, quoted ones among them, stay as they are.
    EXPECT_EQ(ToolCommandLine("winfr", "C: \"E:\\My Files\" /n *.doc "), "winfr C: \"E:\\My Files\" /n *.doc");
}
