// The argument string parsed back by the system's own command-line parser, as
// the tool parses it.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "job/cmdline.h"
#include "job/command.h"
#include "platform/winstr_win.h"

using namespace kestro;

namespace {

std::vector<std::string> SystemParse(const std::string& tail) {
    const std::wstring line = L"winfr " + Widen(tail);
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(Narrow(argv[i]));
    }
    LocalFree(argv);
    return args;
}

class Everything final : public JobSystem {
public:
    bool IsDirectory(const std::string&) override { return true; }
    std::string FileSystemName(char letter) override { return letter == 'C' ? "NTFS" : "exFAT"; }
    std::string VolumeOf(const std::string&) override { return {}; }
};

TEST(ArgumentsRoundTrip, TheSystemParserGivesBackEveryArgument) {
    const std::vector<std::string> folders = {"",
                                              "C:\\Temp",
                                              "C:\\Old Work",
                                              "C:\\Old Work\\",
                                              "C:\\a\\\\b c\\\\",
                                              "C:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE 2024",
                                              "C:\\\xE6\x96\x87\xE4\xBB\xB6\\"};
    const std::vector<std::string> destinations = {"D:\\Rescue", "D:\\My Files", "D:\\My Files\\", "D:\\",
                                                   "D:\\\xE5\xBE\xA9\xE5\x85\x83 \xF0\x9F\x93\x81"};
    const std::vector<std::string> names = {"", "my plan.docx", "*invoice*", "a\\b c\\", "\xC3\xA9t\xC3\xA9 .txt"};
    std::mt19937 random(20240601);
    Everything system;
    int checked = 0;
    for (int round = 0; round < 600; ++round) {
        JobChoices c;
        c.sourceEntries = {{"System (C:)", 'C'}, {"Stick (E:)", 'E'}};
        c.sourceIndex = 0;
        c.sourceText = "System (C:)";
        c.destination = destinations[random() % destinations.size()];
        const std::string& folder = folders[random() % folders.size()];
        c.useSourcePath = !folder.empty();
        c.sourcePath = folder;
        c.recoveryMode = RecoveryModeOfIndex(static_cast<int>(random() % 2));
        c.filter = FilterOfIndex(static_cast<int>(random() % 4));
        c.fileName = names[random() % names.size()];
        c.wildcard = names[random() % names.size()];
        for (bool& ticked : c.types.ticked) {
            ticked = random() % 4 == 0;
        }
        c.types.custom = random() % 2 == 0;
        c.types.customText = random() % 2 ? ".dll, .my ext,.ini" : ".log";
        const JobResult result = CheckAndBuild(c, system);
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(SystemParse(result.arguments), result.expectedArgs) << result.arguments;
        EXPECT_EQ(ParseArguments(result.arguments), result.expectedArgs) << result.arguments;
        ++checked;
    }
    EXPECT_EQ(checked, 600);
}

TEST(ArgumentsRoundTrip, QuotedPiecesParseAsOne) {
    for (const std::string value : {"\\Old Work\\", "\\Old Work\\my plan.docx", "D:\\My Files\\", "a\"b", "",
                                    "tab\there", "x\\\\", "\\\\server\\share name\\"}) {
        const auto args = SystemParse("/n " + QuoteArgument(value) + " ");
        ASSERT_EQ(args.size(), 2u) << value;
        EXPECT_EQ(args[1], value);
    }
}

} // namespace
