// The settings file through the real profile functions: first run, round trips
// with paths in other scripts, files of earlier versions, damaged and locked
// files, refused writes and the choice of folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/settings_win.h"
#include "platform/handles_win.h"
#include "platform/winstr_win.h"
#include "support/wine_helpers.h"

using namespace kestro;
using kestro::testing_win::TempDir;

namespace {

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The lines of a UTF-16LE file with its byte-order mark, as UTF-8.
std::vector<std::string> Utf16Lines(const std::string& bytes) {
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        lines.push_back(Narrow(std::wstring_view(text).substr(start, end - start)));
        start = end + 2;
    }
    return lines;
}

bool HasUtf16Bom(const std::string& bytes) {
    return bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE";
}

std::string AnsiOf(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), n, nullptr, &lossy);
    bytes.resize(static_cast<std::size_t>(n - 1));
    return lossy ? std::string() : bytes;
}

class SettingsFileTest : public ::testing::Test {
protected:
    // A folder name in Cyrillic: the file's own path must survive the W calls too.
    TempDir dir{L"settings-\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438"};
    std::filesystem::path path = dir.Path() / L"settings.ini";
    std::string file = Narrow(path.wstring());

    std::string MakeFolder(const std::wstring& name) {
        const auto folder = dir.Path() / name;
        std::filesystem::create_directories(folder);
        return Narrow(folder.wstring());
    }

    RememberedChoices Read() {
        RememberedChoices fields;
        // Every field away from its default, so nothing passes by being left alone.
        fields.destination = "stale";
        fields.sourceFolder = "stale";
        fields.useSourceFolder = true;
        fields.recoveryMode = 9;
        fields.sourceDrive = 9;
        fields.toolOptions = {true, true, true, Overwrite::Always};
        ReadSettings(file, fields);
        return fields;
    }

    void ExpectDefaults(const RememberedChoices& fields) {
        EXPECT_EQ(fields.destination, "");
        EXPECT_EQ(fields.sourceFolder, "");
        EXPECT_FALSE(fields.useSourceFolder);
        EXPECT_EQ(fields.recoveryMode, 0);
        EXPECT_EQ(fields.sourceDrive, 0);
        EXPECT_EQ(fields.toolOptions, ToolOptions{});
    }
};

} // namespace

TEST_F(SettingsFileTest, FirstRunGivesTheDefaultsAndTheCloseCreatesAUnicodeFile) {
    ExpectDefaults(Read());
    EXPECT_FALSE(std::filesystem::exists(path)) << "reading never creates the file";

    const std::string destination = MakeFolder(L"Rescue");
    RememberedChoices fields;
    WriteSettings(file, ChoicesAtClose{destination, "C:\\Users\\Public\\Documents", true, 1, 2}, fields);

    const std::string bytes = ReadBytes(path);
    ASSERT_TRUE(HasUtf16Bom(bytes));
    const std::vector<std::string> expected = {
        "[Options]",
        "OutputDirectory=" + destination,
        "SourcePath=C:\\Users\\Public\\Documents",
        "IsUseSourcePath=1",
        "RecoveryMode=1",
        "SourceDrive=2",
    };
    EXPECT_EQ(Utf16Lines(bytes), expected);
    EXPECT_EQ(fields.destination, destination);
    EXPECT_EQ(fields.sourceFolder, "C:\\Users\\Public\\Documents");
}

TEST_F(SettingsFileTest, PathsInOtherScriptsReadBackIdentically) {
    // Cyrillic, CJK and a character outside the Basic Multilingual Plane.
    const std::string destination = MakeFolder(L"\u0424\u043e\u0442\u043e \u5199\u771f \U0001F4F7");
    const std::string source = "D:\\\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B\\"
                               "\xE6\x96\x87\xE4\xBB\xB6";
    RememberedChoices fields;
    WriteSettings(file, ChoicesAtClose{destination, source, false, 0, 1}, fields);

    const RememberedChoices read = Read();
    EXPECT_EQ(read.destination, destination);
    EXPECT_EQ(read.sourceFolder, source);
    EXPECT_FALSE(read.useSourceFolder);
    EXPECT_EQ(read.recoveryMode, 0);
    EXPECT_EQ(read.sourceDrive, 1);

    // A later save changes the values in place and keeps the file Unicode.
    RememberedChoices again = read;
    WriteSettings(file, ChoicesAtClose{destination, source + "\\\xE2\x82\xAC", true, 1, 0}, again);
    EXPECT_TRUE(HasUtf16Bom(ReadBytes(path)));
    EXPECT_EQ(Read().sourceFolder, source + "\\\xE2\x82\xAC");
    EXPECT_EQ(Utf16Lines(ReadBytes(path)).size(), 6u);
}

TEST_F(SettingsFileTest, AnEarlierVersionsEightBitFileIsReadAndKeepsItsValuesWhenConverted) {
    // What the earlier version wrote: system code page text, and perhaps more
    // than this program knows about.
    const std::wstring accented = L"C:\\Donn\u00e9es";
    std::string accentedAnsi = AnsiOf(accented);
    const bool codePageHasAccents = !accentedAnsi.empty();
    if (!codePageHasAccents) {
        accentedAnsi = "C:\\Data";
    }
    const std::string source = codePageHasAccents ? Narrow(accented) : "C:\\Data";
    WriteBytes(path, "[Options]\r\nOutputDirectory=Z:\\\r\nSourcePath=" + accentedAnsi +
                         "\r\nIsUseSourcePath=1\r\nRecoveryMode=1\r\nSourceDrive=3\r\n[Window]\r\nLeft=10\r\n");

    RememberedChoices fields = Read();
    EXPECT_EQ(fields.destination, "Z:\\");
    EXPECT_EQ(fields.sourceFolder, source);
    EXPECT_TRUE(fields.useSourceFolder);
    EXPECT_EQ(fields.recoveryMode, 1);
    EXPECT_EQ(fields.sourceDrive, 3);

    // Saving a path the code page cannot hold: the file becomes Unicode, and the
    // values it held that this save does not touch are still there.
    const std::string cyrillic = "C:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE";
    WriteSettings(file, ChoicesAtClose{"C:\\does not exist", cyrillic, true, 1, 3}, fields);
    const std::string bytes = ReadBytes(path);
    ASSERT_TRUE(HasUtf16Bom(bytes));
    EXPECT_EQ(Read().sourceFolder, cyrillic);
    EXPECT_EQ(Read().destination, "Z:\\");
    const std::vector<std::string> lines = Utf16Lines(bytes);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Left=10"), lines.end()) << "another section survives";
}

// The language the user set is read and kept, also where the save must start the file afresh;
// where none was set, none is written.
TEST_F(SettingsFileTest, TheLanguageIsKeptWhereItWasSetAndNeverAdded) {
    WriteBytes(path, "[Options]\r\nLanguage=de\r\nSourceDrive=1\r\n");
    RememberedChoices fields = Read();
    EXPECT_EQ(fields.language, "de");
    // An unreadable file: the save starts a fresh one and puts the language back.
    WriteBytes(path, std::string("\x00\x01\x02\x03", 4));
    WriteSettings(file, ChoicesAtClose{"", "", false, 0, 0}, fields);
    EXPECT_EQ(Read().language, "de");

    RememberedChoices none;
    std::filesystem::remove(path);
    WriteSettings(file, ChoicesAtClose{"", "", false, 0, 0}, none);
    for (const std::string& line : Utf16Lines(ReadBytes(path))) {
        EXPECT_NE(line.rfind("Language", 0), 0u) << line;
    }
}

// The tool's own switches are written only away from their defaults; one set back to its default
// loses its key, so it does not come back at the next start.
TEST_F(SettingsFileTest, ToolOptionsAreWrittenAwayFromTheirDefaultsAndRemovedWhenBack) {
    RememberedChoices fields;
    fields.toolOptions = {true, true, true, Overwrite::Never};
    WriteSettings(file, ChoicesAtClose{"", "", false, 0, 0}, fields);
    std::vector<std::string> lines = Utf16Lines(ReadBytes(path));
    for (const char* line : {"UndeletedFiles=1", "SystemFiles=1", "NoPrimaryStream=1", "Overwrite=never"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    EXPECT_EQ(Read().toolOptions, fields.toolOptions);

    fields.toolOptions = {.overwrite = Overwrite::Always};
    WriteSettings(file, ChoicesAtClose{"", "", false, 0, 0}, fields);
    lines = Utf16Lines(ReadBytes(path));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Overwrite=always"), lines.end());
    for (const std::string& line : lines) {
        for (const char* key : {"UndeletedFiles", "SystemFiles", "NoPrimaryStream"}) {
            EXPECT_NE(line.rfind(key, 0), 0u) << line;
        }
    }
    EXPECT_EQ(Read().toolOptions, fields.toolOptions);

    fields.toolOptions = {};
    WriteSettings(file, ChoicesAtClose{"", "", false, 0, 0}, fields);
    for (const std::string& line : Utf16Lines(ReadBytes(path))) {
        EXPECT_NE(line.rfind("Overwrite", 0), 0u) << line;
    }
    ExpectDefaults(Read());
}

TEST_F(SettingsFileTest, ADestinationThatIsNoFolderLeavesTheStoredOne) {
    const std::string kept = MakeFolder(L"Kept");
    RememberedChoices fields;
    WriteSettings(file, ChoicesAtClose{kept, "", false, 0, 0}, fields);

    fields = Read();
    const std::string notAFolder = Narrow((dir.Path() / L"file.txt").wstring());
    WriteBytes(dir.Path() / L"file.txt", "x");
    for (const std::string& destination : {std::string("C:\\no such folder\\at all"), std::string(), notAFolder}) {
        WriteSettings(file, ChoicesAtClose{destination, "C:\\Src", false, 0, 0}, fields);
        EXPECT_EQ(fields.destination, kept) << destination;
        EXPECT_EQ(Read().destination, kept) << destination;
        EXPECT_EQ(Read().sourceFolder, "C:\\Src") << "the other keys are written all the same";
    }
}

TEST_F(SettingsFileTest, NoSelectionAndAnEmptySourceFolderAreWrittenAndReadBack) {
    RememberedChoices fields;
    WriteSettings(file, ChoicesAtClose{"", "C:\\Before", true, 1, 1}, fields);
    WriteSettings(file, ChoicesAtClose{"", "", false, -1, -1}, fields);
    EXPECT_EQ(fields.sourceFolder, "");

    const std::vector<std::string> lines = Utf16Lines(ReadBytes(path));
    const std::vector<std::string> expected = {"[Options]", "SourcePath=", "IsUseSourcePath=0", "RecoveryMode=-1",
                                               "SourceDrive=-1"};
    EXPECT_EQ(lines, expected);
    const RememberedChoices read = Read();
    EXPECT_EQ(read.sourceFolder, "");
    EXPECT_FALSE(read.useSourceFolder);
    EXPECT_EQ(read.recoveryMode, -1);
    EXPECT_EQ(read.sourceDrive, -1);
}

TEST_F(SettingsFileTest, StoredValuesFollowTheReadingRules) {
    WriteBytes(path, "[Options]\r\nIsUseSourcePath=2\r\nRecoveryMode=abc\r\nSourceDrive=0x1\r\n");
    RememberedChoices read = Read();
    EXPECT_TRUE(read.useSourceFolder);
    EXPECT_EQ(read.recoveryMode, 0);
    EXPECT_EQ(read.sourceDrive, 1);
    EXPECT_EQ(read.destination, "") << "missing keys give their defaults";

    WriteBytes(path, "[Options]\r\nIsUseSourcePath=0\r\nRecoveryMode=$1F\r\nSourceDrive=4294967296\r\n");
    read = Read();
    EXPECT_FALSE(read.useSourceFolder);
    EXPECT_EQ(read.recoveryMode, 31);
    EXPECT_EQ(read.sourceDrive, 0) << "beyond 32 bits: the default";

    WriteBytes(path, "[options]\r\nrecoverymode=1\r\n[Other]\r\nSourceDrive=5\r\n");
    read = Read();
    EXPECT_EQ(read.recoveryMode, 1) << "section and key names ignore case";
    EXPECT_EQ(read.sourceDrive, 0) << "only section Options counts";
}

TEST_F(SettingsFileTest, TextComesBackThroughA2048CharacterBuffer) {
    RememberedChoices fields;
    WriteSettings(file, ChoicesAtClose{"", std::string(3000, 'a'), false, 0, 0}, fields);
    EXPECT_EQ(Read().sourceFolder, std::string(2047, 'a'));

    // The cut falls between the two halves of a character beyond the BMP: the
    // half is dropped rather than turned into a replacement character.
    const std::string emoji = "\xF0\x9F\x93\xB7";
    WriteSettings(file, ChoicesAtClose{"", std::string(2046, 'b') + emoji + "tail", false, 0, 0}, fields);
    EXPECT_EQ(Read().sourceFolder, std::string(2046, 'b'));
    WriteSettings(file, ChoicesAtClose{"", std::string(2045, 'c') + emoji + "tail", false, 0, 0}, fields);
    EXPECT_EQ(Read().sourceFolder, std::string(2045, 'c') + emoji);
}

TEST_F(SettingsFileTest, ABinaryOrHugeFileGivesTheDefaultsAndIsReplacedAtTheNextSave) {
    const std::string options = "[Options]\r\nSourcePath=C:\\Src\r\nRecoveryMode=1\r\nSourceDrive=2\r\n";
    const std::string damaged[] = {
        options + std::string("\0\x01\x02\xFF binary\0", 12), options + std::string(2 * 1024 * 1024, ';'),
        std::string("\xFF\xFE", 2) + std::string("[\0O\0\0\0", 6), // Unicode with a zero character
    };
    for (const std::string& bytes : damaged) {
        WriteBytes(path, bytes);
        ExpectDefaults(Read());

        RememberedChoices fields;
        WriteSettings(file, ChoicesAtClose{"", "C:\\New", true, 1, 0}, fields);
        const RememberedChoices read = Read();
        EXPECT_EQ(read.sourceFolder, "C:\\New");
        EXPECT_TRUE(read.useSourceFolder);
        EXPECT_LT(ReadBytes(path).size(), 200u);
    }
}

TEST_F(SettingsFileTest, ALockedFileGivesTheDefaultsAndRefusesTheSave) {
    RememberedChoices fields;
    WriteSettings(file, ChoicesAtClose{"", "C:\\Src", true, 1, 1}, fields);
    const std::string before = ReadBytes(path);
    {
        UniqueHandle lock(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock);
        ExpectDefaults(Read());
        EXPECT_THROW(WriteSettings(file, ChoicesAtClose{"", "C:\\Other", false, 0, 0}, fields), std::runtime_error);
    }
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(Read().sourceFolder, "C:\\Src");
}

TEST_F(SettingsFileTest, AFileThatCannotBeWrittenMakesTheSaveThrow) {
    RememberedChoices fields;
    const ChoicesAtClose now{"", "C:\\Other", false, 0, 0};

    const std::string nowhere = Narrow((dir.Path() / L"gone" / L"settings.ini").wstring());
    EXPECT_THROW(WriteSettings(nowhere, now, fields), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / L"gone"));

    std::filesystem::create_directories(path);
    EXPECT_THROW(WriteSettings(file, now, fields), std::runtime_error) << "a folder in the way of the file";
    std::filesystem::remove(path);

    WriteSettings(file, ChoicesAtClose{"", "C:\\Src", true, 1, 1}, fields);
    const std::string before = ReadBytes(path);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine run by root writes read-only files all the same; Windows refuses.
    const bool refused = !UniqueHandle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (refused) {
        EXPECT_THROW(WriteSettings(file, now, fields), std::runtime_error);
        EXPECT_EQ(ReadBytes(path), before);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SettingsFileTest, ARefusedKeyEndsTheSaveAndKeepsTheKeysBeforeIt) {
    const std::string oldFolder = MakeFolder(L"Old");
    const std::string newFolder = MakeFolder(L"New");
    RememberedChoices fields;
    WriteSettings(file, ChoicesAtClose{oldFolder, "C:\\Old", false, 0, 0}, fields);

    std::vector<std::string> offered;
    const SettingsKeyWriter refuseTheFlag = [&](const std::string& key, const std::optional<std::string>& value) {
        offered.push_back(key);
        if (key == "IsUseSourcePath") {
            throw std::runtime_error("refused");
        }
        WriteSettingsKey(file, key, value);
    };
    EXPECT_THROW(WriteSettings(refuseTheFlag, ChoicesAtClose{newFolder, "C:\\New", true, 1, 1}, fields),
                 std::runtime_error);
    EXPECT_EQ(offered, (std::vector<std::string>{"OutputDirectory", "SourcePath", "IsUseSourcePath"}));

    const RememberedChoices read = Read();
    EXPECT_EQ(read.destination, newFolder);
    EXPECT_EQ(read.sourceFolder, "C:\\New");
    EXPECT_FALSE(read.useSourceFolder);
    EXPECT_EQ(read.recoveryMode, 0);
    EXPECT_EQ(read.sourceDrive, 0);
}

TEST(SettingsFolder, IsCreatedUnderTheApplicationDataFolderWithItsParents) {
    TempDir appData(L"appdata");
    const std::string base = Narrow((appData.Path() / L"Roaming \u0414\u0430\u043d\u043d\u044b\u0435").wstring());
    const std::string expected = base + "\\Kestro\\Refindor\\settings.ini";
    EXPECT_EQ(SettingsFile(base + "\\"), expected);
    EXPECT_TRUE(std::filesystem::is_directory(appData.Path() / L"Roaming \u0414\u0430\u043d\u043d\u044b\u0435" /
                                              L"Kestro" / L"Refindor"));
    EXPECT_EQ(SettingsFile(base), expected) << "a folder given without its backslash";
}

TEST(SettingsFolder, FallsBackToTheProgramsFolder) {
    const std::string beside = Narrow(testing_win::ExeFolder().wstring()) + "\\settings.ini";

    EXPECT_EQ(SettingsFile(""), beside) << "the shell could not tell the application-data folder";

    TempDir appData(L"appdata-blocked");
    WriteBytes(appData.Path() / L"Kestro", "a file where the folder should go");
    EXPECT_EQ(SettingsFile(appData.Utf8() + "\\"), beside);

    TempDir other(L"appdata-blocked-inner");
    std::filesystem::create_directories(other.Path() / L"Kestro");
    WriteBytes(other.Path() / L"Kestro" / L"Refindor", "");
    EXPECT_EQ(SettingsFile(other.Utf8() + "\\"), beside);
}

TEST(SettingsFolder, IsTheRoamingApplicationDataFolderWithABackslash) {
    const std::string appData = GetAppDataFolder();
    ASSERT_FALSE(appData.empty());
    EXPECT_EQ(appData.back(), '\\');
    wchar_t roaming[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", roaming, MAX_PATH), 0u);
    EXPECT_EQ(lstrcmpiW(Widen(appData).c_str(), (std::wstring(roaming) + L"\\").c_str()), 0) << appData;
    EXPECT_EQ(SettingsFile(), appData + "Kestro\\Refindor\\settings.ini");
}
