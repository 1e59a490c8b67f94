#include "job/command.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>

#include "base/text.h"
#include "base/texts.h"
#include "job/cmdline.h"

using namespace kestro;

namespace {

// Every path is an existing directory unless it is empty or names "Nope".
class FakeSystem : public JobSystem {
public:
    std::map<char, std::string> fileSystems = {{'C', "NTFS"}, {'E', "FAT32"}, {'F', "NTFS"}};
    std::map<std::string, std::string> volumes;
    std::string lettersAsked;

    bool IsDirectory(const std::string& path) override {
        return !path.empty() && path.find("Nope") == std::string::npos;
    }
    std::string FileSystemName(char driveLetter) override {
        lettersAsked.push_back(driveLetter);
        const auto it = fileSystems.find(driveLetter);
        return it == fileSystems.end() ? std::string() : it->second;
    }
    std::string VolumeOf(const std::string& path) override {
        const auto it = volumes.find(path);
        return it == volumes.end() ? std::string() : it->second;
    }
    std::vector<std::string> ComputerNames() override { return names; }
    std::string SharedFolder(const std::string& share) override {
        const auto it = sharedFolders.find(share);
        return it == sharedFolders.end() ? std::string() : it->second;
    }
    std::string MappedDrive(char letter) override {
        const auto it = mappedDrives.find(letter);
        return it == mappedDrives.end() ? std::string() : it->second;
    }
    std::optional<std::uint32_t> VolumeSerial(const std::string& path) override {
        const auto it = serials.find(path);
        return it == serials.end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
    }
    std::vector<std::string> names;
    std::map<std::string, std::string> sharedFolders;
    std::map<char, std::string> mappedDrives;
    // Another computer's share, whose volume is read through the network.
    std::map<std::string, std::uint32_t> serials = {{"\\\\server\\share", 0x5E77E700}};
};

const std::vector<SourceEntry> kEntries = {
    {"System (C:)", 'C'}, {" (D:)", 'D'}, {"Stick (E:)", 'E'}, {"Data (old) (F:)", 'F'}};
constexpr int kC = 0, kD = 1, kE = 2, kF = 3;
constexpr int kTyped = -1;
constexpr unsigned kWebPages = 1u << static_cast<int>(Category::WebPages);

struct Row {
    const char* name;
    int entry;              // selected entry, or kTyped
    const char* sourceText; // the combo box text; nullptr: the selected entry's
    const char* destination;
    const char* folder; // nullptr: the source-folder box is clear
    int mode;   // index in the mode list
    int filter; // index of the chosen filter item (-1: none)
    const char* text;     // the filter's own field: file name, wildcard or custom types (ticking them)
    unsigned ticks;       // categories ticked, bit per Category
    std::string expected; // the argument string, or the message of a refusal
};

JobChoices ChoicesOf(const Row& row) {
    JobChoices c;
    c.sourceEntries = kEntries;
    c.sourceIndex = row.entry;
    c.sourceText = row.sourceText != nullptr ? row.sourceText : kEntries[static_cast<std::size_t>(row.entry)].caption;
    c.destination = row.destination;
    c.useSourcePath = row.folder != nullptr;
    c.sourcePath = row.folder != nullptr ? row.folder : "";
    c.recoveryMode = RecoveryModeOfIndex(row.mode);
    c.filter = FilterOfIndex(row.filter);
    const std::string text = row.text != nullptr ? row.text : "";
    (row.filter == 1 ? c.fileName : c.wildcard) = text;
    if (row.filter == 3 && row.text != nullptr) {
        c.types.custom = true;
        c.types.customText = text;
    }
    for (int i = 0; i < kCategoryCount; ++i) {
        c.types.ticked[i] = (row.ticks >> i & 1u) != 0;
    }
    return c;
}

// An accepted row must also read back, through the system's parsing rules, as exactly the
// arguments that were meant.
void Expect(const JobResult& result, bool accepted, const std::string& expected, const char* name) {
    EXPECT_EQ(result.ok, accepted) << name;
    if (accepted) {
        EXPECT_EQ(result.arguments, expected) << name;
        EXPECT_EQ(ParseArguments(result.arguments), result.expectedArgs) << name;
    } else {
        EXPECT_EQ(result.message, expected) << name;
        EXPECT_TRUE(result.arguments.empty()) << name;
        EXPECT_FALSE(result.switchToDeepScan) << name;
    }
}

void RunRows(const std::vector<Row>& rows, bool accepted) {
    for (const auto& row : rows) {
        FakeSystem system;
        Expect(CheckAndBuild(ChoicesOf(row), system), accepted, row.expected, row.name);
    }
}

const std::string kHead = "C: D:\\Rescue /regular /o:b /a /e:*.mm1 ";
const std::string kPhoto = "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE"; // Cyrillic "Foto"

// This computer for the share cases: its names, its shares "Shared" (D:\Shared) and "System"
// (C:\Users), network drives Y:, W:, X:, V:, U: and T:, the volumes c (the source's) and d, and the
// volume serial numbers that tell the network folders apart.
void MakeComputerWithShares(FakeSystem& system, const std::string& c, const std::string& d) {
    system.names = {"KESTRO-PC", "kestro-pc.corp.example", "192.168.1.20"};
    system.sharedFolders = {{"Shared", "D:\\Shared"}, {"System", "C:\\Users"}};
    system.mappedDrives = {{'Y', "\\\\localhost\\C$"},        {'W', "\\\\KESTRO-PC\\System\\Public"},
                           {'X', "\\\\server\\C$"},           {'V', "\\\\localhost\\Shared"},
                           {'U', "\\\\myalias\\C$"},          {'T', "\\\\gone\\share"}};
    system.volumes = {{"C:\\", c},
                      {"C:\\Rescue", c},
                      {"C:\\Users\\Me", c},
                      {"C:\\Users\\Public\\Rescue", c},
                      {"D:\\Rescue", d},
                      {"D:\\Shared\\Rescue", d},
                      {"D:\\Shared", d},
                      {"D:\\Shared\\C$", d}};
    system.serials = {{"C:\\", 0xC0FFEE01},
                      {"\\\\server\\C$\\Rescue", 0x5E77E701},
                      {"\\\\server\\Hidden\\Rescue", 0x5E77E702},
                      {"\\\\myalias\\C$\\Rescue", 0xC0FFEE01},
                      {"\\\\?\\UNC\\myalias\\C$\\Rescue", 0xC0FFEE01}};
}

} // namespace

// clang-format off
TEST(ArgumentString, WorkedExamples) {
    RunRows({
        {"all deleted files", kC, nullptr, "D:\\Rescue", nullptr, 0, 0, nullptr, 0, kHead},
        {"source folder", kC, nullptr, "D:\\Rescue", "C:\\Users\\Me\\Documents", 0, 0, nullptr, 0,
         kHead + "/n \\Users\\Me\\Documents\\ "},
        {"spaced destination, deep scan, wildcard", kC, nullptr, "D:\\My Files", nullptr, 1, 2, "*invoice*", 0,
         "C: \"D:\\My Files\" /extensive /o:b /a /e:*.mm1 /n *invoice* "},
        {"FAT32 stick, specific file in a spaced folder", kE, nullptr, "D:\\Rescue", "E:\\Old Work", 0, 1,
         "my plan.docx", 0, "E: D:\\Rescue /regular /extensive /o:b /a /e:*.mm1 /n \"\\Old Work\\my plan.docx\" "},
        {"web pages and custom types in a folder", kC, nullptr, "D:\\Rescue", "C:\\Temp", 1, 3, ".dll, .ini", kWebPages,
         "C: D:\\Rescue /extensive /o:b /a /e:*.mm1 /n \\Temp\\*.xhtml /n \\Temp\\*.htm /n \\Temp\\*.html "
         "/n \\Temp\\*.mht /n \\Temp\\*.mhtml /n \\Temp\\*.asp /n \\Temp\\*.aspx /n \\Temp\\*.lab "
         "/n \\Temp\\*.dll /n \\Temp\\*.ini "},
    }, true);
}

TEST(ArgumentString, QuotesEachArgumentSoTheToolReadsItBack) {
    RunRows({
        {"spaced folder, all deleted files", kE, nullptr, "D:\\Rescue", "E:\\Old Work", 1, 0, nullptr, 0,
         "E: D:\\Rescue /extensive /o:b /a /e:*.mm1 /n \"\\Old Work\\\\\" "},
        {"spaced folder, file types", kE, nullptr, "D:\\Rescue", "E:\\Old Work\\", 1, 3, ".txt,.my ext", 0,
         "E: D:\\Rescue /extensive /o:b /a /e:*.mm1 /n \"\\Old Work\\*.txt\" /n \"\\Old Work\\*.my ext\" "},
        {"spaced wildcard", kC, nullptr, "D:\\Rescue", nullptr, 0, 2, "* report*", 0, kHead + "/n \"* report*\" "},
        {"custom types ending in a comma and a tab", kC, nullptr, "D:\\Rescue", nullptr, 0, 3, ".log,\t", 0,
         kHead + "/n *.log "},
        {"custom types ending in a comma and a no-break space", kC, nullptr, "D:\\Rescue", nullptr, 0, 3,
         ".log,\xC2\xA0", 0, kHead + "/n *.log "},
        {"destination ending in a backslash", kC, nullptr, "D:\\My Files\\", nullptr, 0, 0, nullptr, 0,
         "C: \"D:\\My Files\\\\\" /regular /o:b /a /e:*.mm1 "},
        {"network destination", kC, nullptr, "\\\\server\\share", nullptr, 0, 0, nullptr, 0,
         "C: \\\\server\\share /regular /o:b /a /e:*.mm1 "},
        {"non-ASCII names", kC, nullptr, ("D:\\" + kPhoto).c_str(), ("C:\\" + kPhoto + " 2024").c_str(), 0, 1,
         (kPhoto + ".jpg").c_str(), 0,
         "C: D:\\" + kPhoto + " /regular /o:b /a /e:*.mm1 /n \"\\" + kPhoto + " 2024\\" + kPhoto + ".jpg\" "},
    }, true);

    FakeSystem system;
    const JobResult result = CheckAndBuild(
        ChoicesOf({"", kE, nullptr, "D:\\Rescue", "E:\\Old Work", 0, 1, "my plan.docx", 0, ""}), system);
    const std::vector<std::string> meant = {
        "E:", "D:\\Rescue", "/regular", "/extensive", "/o:b", "/a", "/e:*.mm1", "/n", "\\Old Work\\my plan.docx"};
    EXPECT_EQ(ParseArguments(result.arguments), meant);
}

TEST(ArgumentString, EmptyNamesAndListsPassNoFilterAtAll) {
    RunRows({
        {"empty file name", kC, nullptr, "D:\\Rescue", "C:\\Temp", 0, 1, "", 0, kHead},
        {"empty wildcard", kC, nullptr, "D:\\Rescue", "C:\\Temp", 0, 2, "", 0, kHead},
        {"nothing ticked", kC, nullptr, "D:\\Rescue", "C:\\Temp", 0, 3, nullptr, 0, kHead},
        {"no filter chosen", kC, nullptr, "D:\\Rescue", "C:\\Temp", 0, -1, nullptr, 0, kHead},
    }, true);
}

TEST(Checks, RefuseInTheirFixedOrder) {
    // The English words, byte for byte as they always were.
    const auto drive = [](const std::string& folder) { return "Please check if the drive is correct: " + folder; };
    RunRows({
        {"empty source text before a bad destination", kTyped, "", "Q:\\Nope", nullptr, 0, 0, nullptr, 0,
         Text(IDS_SELECT_SOURCE)},
        {"typed text that is no entry", kTyped, "C:", "D:\\Rescue", nullptr, 0, 0, nullptr, 0, Text(IDS_SELECT_SOURCE)},
        {"missing destination", kC, nullptr, "D:\\Nope", nullptr, 0, 0, nullptr, 0,
         "D:\\Nope, the output directory does not exist."},
        {"missing destination on the source drive", kC, nullptr, "C:\\Nope", nullptr, 0, 0, nullptr, 0,
         "C:\\Nope, the output directory does not exist."},
        {"empty destination", kC, nullptr, "", nullptr, 0, 0, nullptr, 0, ", the output directory does not exist."},
        {"same drive in another letter case", kD, nullptr, "d:\\x", nullptr, 0, 0, nullptr, 0, Text(IDS_SAME_PARTITION)},
        {"same drive before a bad folder", kD, nullptr, "D:\\x", "Q:\\x", 0, 0, nullptr, 0, Text(IDS_SAME_PARTITION)},
        {"folder on another drive", kC, nullptr, "D:\\Rescue", "E:\\Docs", 0, 0, nullptr, 0, drive("E:\\Docs")},
        {"relative folder", kC, nullptr, "D:\\Rescue", "Docs", 0, 0, nullptr, 0, drive("Docs")},
        {"empty folder", kC, nullptr, "D:\\Rescue", "", 0, 0, nullptr, 0, drive("")},
        {"bad folder before bad custom types", kC, nullptr, "D:\\Rescue", "E:\\", 0, 3, "", 0, drive("E:\\")},
        {"custom types without a leading dot", kC, nullptr, "D:\\Rescue", nullptr, 0, 3, "dll, .ini", 0,
         Text(IDS_CHECK_CUSTOM_TYPE)},
        {"empty custom types", kC, nullptr, "D:\\Rescue", nullptr, 0, 3, "", 0, Text(IDS_CHECK_CUSTOM_TYPE)},
        {"bad custom types before a quote", kC, nullptr, "D:\\\"x\"", nullptr, 0, 3, "", 0, Text(IDS_CHECK_CUSTOM_TYPE)},
    }, false);
}

TEST(Checks, RefuseQuotesInTheFieldsUsed) {
    const auto refused = [](const std::string& field) {
        return "A double quote (\") cannot be part of a file or folder name. Please remove it from: " + field;
    };
    RunRows({
        {"destination", kC, nullptr, "D:\\\"Rescue\"", nullptr, 0, 0, nullptr, 0, refused(Text(IDS_FIELD_DESTINATION))},
        {"source folder", kC, nullptr, "D:\\Rescue", "C:\\Old\" Work", 0, 0, nullptr, 0,
         refused(Text(IDS_FIELD_SOURCE_PATH))},
        {"file name", kC, nullptr, "D:\\Rescue", nullptr, 0, 1, "\"plan\".docx", 0, refused(Text(IDS_FIELD_FILE_NAME))},
        {"wildcard", kC, nullptr, "D:\\Rescue", nullptr, 0, 2, "*\" *", 0, refused(Text(IDS_FIELD_WILDCARD))},
        {"custom types", kC, nullptr, "D:\\Rescue", nullptr, 0, 3, ".a\", .b", 0, refused(Text(IDS_FIELD_CUSTOM_TYPES))},
    }, false);
}
// clang-format on

TEST(Checks, IgnoreFieldsTheChoicesDoNotUse) {
    JobChoices c = ChoicesOf({"", kTyped, "Data (old) (F:)", "D:\\Rescue", nullptr, 0, 2, "*.doc", 0, ""});
    c.sourcePath = "E:\\\"x"; // the box is clear
    c.fileName = "\"";
    c.types.custom = true; // another filter is chosen
    c.types.customText = "bad\"";
    FakeSystem system;
    Expect(CheckAndBuild(c, system), true, "F: D:\\Rescue /regular /o:b /a /e:*.mm1 /n *.doc ", "typed entry");

    c.filter = Filter::SpecificFile;
    c.fileName = "a.txt";
    c.wildcard = "\"";
    Expect(CheckAndBuild(c, system), true, "F: D:\\Rescue /regular /o:b /a /e:*.mm1 /n a.txt ", "file name");
}

TEST(Checks, RefuseADestinationOnTheSourceVolume) {
    const std::string sourceVolume = "\\\\?\\Volume{c}\\";
    struct Case {
        const char* name;
        const char* destination;
        std::string destinationVolume;
        std::string sourceRootVolume;
        bool refused;
    };
    const Case cases[] = {
        {"relative destination", "Rescue", sourceVolume, sourceVolume, true},
        {"subst drive", "S:\\Rescue", sourceVolume, sourceVolume, true},
        {"folder the source is mounted on", "G:\\Mounted", "\\\\?\\VOLUME{C}\\", sourceVolume, true},
        {"another volume", "S:\\Rescue", "\\\\?\\Volume{d}\\", sourceVolume, false},
        {"destination volume unknown", "Rescue", "", sourceVolume, false},
        {"source volume unknown", "Rescue", sourceVolume, "", false},
    };
    for (const auto& c : cases) {
        FakeSystem system;
        system.volumes = {{c.destination, c.destinationVolume}, {"C:\\", c.sourceRootVolume}};
        const JobChoices choices = ChoicesOf({"", kC, nullptr, c.destination, nullptr, 0, 0, nullptr, 0, ""});
        Expect(CheckAndBuild(choices, system), !c.refused,
               c.refused ? Text(IDS_SAME_PARTITION)
                         : "C: " + std::string(c.destination) + " /regular /o:b /a /e:*.mm1 ",
               c.name);
    }
}

// A share of this computer leads back onto its drives: the share's folder is what counts. Volumes:
// C: the source, D: another disk; "Shared" is D:\Shared, "System" is C:\Users, "Hidden" unknown.
// A network folder that no name of this computer leads to is told apart by its volume's serial
// number: "myalias" is another name of this computer, "server" another computer, and "gone" a
// server whose volume cannot be read.
TEST(Checks, RefuseAShareOfThisComputerOnTheSourceVolume) {
    const std::string c = "\\\\?\\Volume{c}\\";
    const std::string d = "\\\\?\\Volume{d}\\";
    enum Outcome { Accepted, SamePartition, Unchecked };
    struct Case {
        const char* destination;
        Outcome outcome;
    };
    const Case cases[] = {
        {"\\\\localhost\\C$\\Rescue", SamePartition},
        {"\\\\LOCALHOST\\c$\\Rescue", SamePartition},
        {"\\\\127.0.0.1\\C$\\Rescue", SamePartition},
        {"\\\\[::1]\\C$\\Rescue", SamePartition},
        {"\\\\0--1.ipv6-literal.net\\C$\\Rescue", SamePartition},
        {"\\\\?\\UNC\\localhost\\C$\\Rescue", SamePartition},
        {"//localhost/C$/Rescue", SamePartition},
        {"\\\\KESTRO-PC\\C$\\Rescue", SamePartition},
        {"\\\\kestro-pc.corp.example\\C$\\Rescue", SamePartition},
        {"\\\\192.168.1.20\\C$\\Rescue", SamePartition},
        {"\\\\localhost\\System\\Me", SamePartition},     // C:\Users\Me
        {"\\\\localhost\\Hidden\\Rescue", SamePartition}, // its folder cannot be told
        {"\\\\localhost\\Shared\\..\\..\\C$", Accepted},  // D:\Shared\C$: never above the share
        {"\\\\localhost\\D$\\Rescue", Accepted},
        {"\\\\localhost\\Shared\\Rescue", Accepted},
        {"\\\\KESTRO-PC\\Shared", Accepted},
        {"\\\\server\\C$\\Rescue", Accepted},              // another computer
        {"\\\\server\\Hidden\\Rescue", Accepted},
        {"\\\\myalias\\C$\\Rescue", SamePartition},       // this computer by a name of its own
        {"\\\\?\\UNC\\myalias\\C$\\Rescue", SamePartition},
        {"\\\\gone\\share\\Rescue", Unchecked},
        {"\\\\192.168.1.21\\C$\\Rescue", Unchecked},
        {"Y:\\Rescue", SamePartition},                          // connected to \\localhost\C$
        {"y:\\Rescue", SamePartition},
        {"W:\\Rescue", SamePartition},                          // connected to \\KESTRO-PC\System\Public
        {"X:\\Rescue", Accepted},                               // connected to \\server\C$
        {"U:\\Rescue", SamePartition},                          // connected to \\myalias\C$
        {"T:\\Rescue", Unchecked},                              // connected to \\gone\share
        {"V:\\Rescue", Accepted},                               // connected to \\localhost\Shared
        {"\\\\?\\C:\\Rescue", SamePartition},                 // the long form of a local path
        {"\\\\.\\C:\\Rescue", SamePartition},
    };
    for (const Case& k : cases) {
        FakeSystem system;
        MakeComputerWithShares(system, c, d);
        const JobResult result =
            CheckAndBuild(ChoicesOf({"", kC, nullptr, k.destination, nullptr, 0, 0, nullptr, 0, ""}), system);
        EXPECT_EQ(result.ok, k.outcome == Accepted) << k.destination;
        if (k.outcome == SamePartition) {
            EXPECT_EQ(result.message, Text(IDS_SAME_PARTITION)) << k.destination;
        } else if (k.outcome == Unchecked) {
            EXPECT_EQ(result.message, FormatText(Text(IDS_NETWORK_DESTINATION_UNCHECKED), {k.destination}));
        } else {
            EXPECT_EQ(result.expectedArgs.at(1), k.destination) << "the destination goes to the tool as typed";
        }
    }
}

TEST(Checks, AShareOfThisComputerWhoseVolumeCannotBeToldIsRefusedOnlyAgainstAKnownSource) {
    FakeSystem system;
    system.sharedFolders = {{"Shared", "D:\\Shared"}};
    const JobChoices choices =
        ChoicesOf({"", kC, nullptr, "\\\\localhost\\Shared\\Rescue", nullptr, 0, 0, nullptr, 0, ""});
    system.volumes = {{"C:\\", "\\\\?\\Volume{c}\\"}};
    EXPECT_FALSE(CheckAndBuild(choices, system).ok) << "D:\\Shared\\Rescue has no known volume, the source has";
    system.volumes = {};
    EXPECT_TRUE(CheckAndBuild(choices, system).ok) << "neither volume known: nothing tells them apart";
    system.volumes = {{"D:\\Shared\\Rescue", "\\\\?\\Volume{d}\\"}};
    EXPECT_TRUE(CheckAndBuild(choices, system).ok);
}

TEST(ArgumentString, QuickScanOutsideNtfsAddsTheExtensiveMode) {
    struct Case {
        const char* fileSystem;
        int mode;
        const char* switches;
        bool deep;
    };
    const Case cases[] = {
        {"NTFS", 0, "/regular", false},
        {"ntfs", 0, "/regular", false},
        {"FAT32", 0, "/regular /extensive", true},
        {"exFAT", 0, "/regular /extensive", true},
        {"", 0, "/regular /extensive", true},
        {"FAT32", 1, "/extensive", false},
    };
    for (const auto& c : cases) {
        FakeSystem system;
        system.fileSystems['F'] = c.fileSystem;
        // "Data (old) (F:)": the parentheses of the label must not change the drive asked about.
        const JobResult result =
            CheckAndBuild(ChoicesOf({"", kF, nullptr, "D:\\Rescue", nullptr, c.mode, 0, nullptr, 0, ""}), system);
        EXPECT_EQ(result.arguments, std::string("F: D:\\Rescue ") + c.switches + " /o:b /a /e:*.mm1 ") << c.fileSystem;
        EXPECT_EQ(result.switchToDeepScan, c.deep) << c.fileSystem;
        EXPECT_EQ(system.lettersAsked, c.mode == 0 ? "F" : "");
    }
}

// The tool's own switches: at their defaults the command line is the one the program has always
// passed; a ticked option adds its switch after the fixed ones and before the filters, and the
// overwrite choice takes the place of /o:b.
TEST(ArgumentString, ToolOptionsAddTheirSwitchesBeforeTheFiltersAndOverwriteReplacesKeepBoth) {
    struct Case {
        const char* name;
        ToolOptions options;
        const char* expected;
    };
    const Case cases[] = {
        {"defaults", {}, "C: D:\\Rescue /regular /o:b /a /e:*.mm1 /n *.jpg "},
        {"undeleted files", {.undeletedFiles = true}, "C: D:\\Rescue /regular /o:b /a /e:*.mm1 /u /n *.jpg "},
        {"system files", {.systemFiles = true}, "C: D:\\Rescue /regular /o:b /a /e:*.mm1 /k /n *.jpg "},
        {"no primary stream", {.noPrimaryStream = true}, "C: D:\\Rescue /regular /o:b /a /e:*.mm1 /g /n *.jpg "},
        {"never overwrite", {.overwrite = Overwrite::Never}, "C: D:\\Rescue /regular /o:n /a /e:*.mm1 /n *.jpg "},
        {"always overwrite", {.overwrite = Overwrite::Always}, "C: D:\\Rescue /regular /o:a /a /e:*.mm1 /n *.jpg "},
        {"all of them",
         {true, true, true, Overwrite::Never},
         "C: D:\\Rescue /regular /o:n /a /e:*.mm1 /u /k /g /n *.jpg "},
    };
    for (const auto& c : cases) {
        FakeSystem system;
        JobChoices choices = ChoicesOf({"", kC, nullptr, "D:\\Rescue", nullptr, 0, 2, "*.jpg", 0, ""});
        choices.options = c.options;
        Expect(CheckAndBuild(choices, system), true, c.expected, c.name);
    }
}
