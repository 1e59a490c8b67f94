// The checks' questions answered by the running system, and the checks on destinations that lead
// back to this computer through the network. Under Wine a share is a folder under the prefix's
// dosdevices\unc\<server>\<share>, which the tests make; on Windows the administrative shares
// are the system's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/texts.h"
#include "job/command.h"
#include "job/job_system_win.h"
#include "platform/winstr_win.h"

using namespace kestro;

namespace {

std::string NetBiosName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameExW(ComputerNameNetBIOS, name, &size);
    return Narrow(std::wstring(name, size));
}

TEST(SystemJobSystem, KnowsThisComputersNames) {
    SystemJobSystem system;
    const std::vector<std::string> names = system.ComputerNames();
    ASSERT_FALSE(names.empty());
    EXPECT_NE(std::find(names.begin(), names.end(), NetBiosName()), names.end()) << NetBiosName();
    for (const std::string& name : names) {
        EXPECT_FALSE(name.empty());
    }
    EXPECT_EQ(system.MappedDrive('C'), "") << "a local drive is connected to no share";
    EXPECT_EQ(system.SharedFolder("no share of this name"), "");
}

// Under Wine, \\server\share\... is <prefix>\dosdevices\unc\server\share\...: shares made here.
class ShareFolders {
public:
    ShareFolders() {
        wchar_t prefix[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH) == 0) {
            return;
        }
        unc_ = std::filesystem::path(L"Z:" + std::wstring(prefix)) / L"dosdevices" / L"unc";
    }
    ~ShareFolders() {
        std::error_code ec;
        for (const auto& made : made_) {
            std::filesystem::remove_all(made, ec);
        }
    }
    // \\server\share\folder as a folder that exists; empty when it cannot be made.
    std::string Make(const std::wstring& server, const std::wstring& share, const std::wstring& folder) {
        const std::wstring path = L"\\\\" + server + L"\\" + share + L"\\" + folder;
        if (!unc_.empty()) {
            std::error_code ec;
            std::filesystem::create_directories(unc_ / server / share / folder, ec);
            made_.push_back(unc_ / server);
        }
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Narrow(path)
                                                                                                     : std::string();
    }

private:
    std::filesystem::path unc_;
    std::vector<std::filesystem::path> made_;
};

JobResult Check(const std::string& destination) {
    JobChoices choices;
    choices.sourceEntries = {{"System (C:)", 'C'}, {"Data (D:)", 'D'}};
    choices.sourceIndex = 0;
    choices.sourceText = choices.sourceEntries[0].caption;
    choices.destination = destination;
    SystemJobSystem system;
    return CheckAndBuild(choices, system);
}

TEST(LocalShares, NeverLeadOntoTheSourceVolume) {
    ShareFolders shares;
    const std::wstring folder = L"Rescue-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring name = Widen(NetBiosName());
    struct Case {
        std::wstring server;
        std::wstring share;
        bool refused;
    };
    const Case cases[] = {
        {L"localhost", L"C$", true},          {L"127.0.0.1", L"C$", true},         {name, L"c$", true},
        {L"localhost", L"NoSuchShare", true}, // its folder cannot be told, and C: has a volume
        {L"localhost", L"D$", false},         {L"kestro-elsewhere", L"C$", false}, // another computer
    };
    for (const Case& c : cases) {
        const std::string destination = shares.Make(c.server, c.share, folder);
        if (destination.empty()) {
            GTEST_SKIP() << "\\\\" << Narrow(c.server) << "\\" << Narrow(c.share) << " cannot be reached here";
        }
        const JobResult result = Check(destination);
        EXPECT_EQ(result.ok, !c.refused) << destination;
        if (c.refused) {
            EXPECT_EQ(result.message, Text(IDS_SAME_PARTITION)) << destination;
        }
        // The long form leads to the same place.
        const std::string longForm = "\\\\?\\UNC\\" + destination.substr(2);
        EXPECT_EQ(Check(longForm).ok, !c.refused) << longForm;
    }
}

} // namespace
