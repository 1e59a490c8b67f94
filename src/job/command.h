#pragma once
// The checks made when Start is pressed, and the winfr argument string built from the choices.
#include "job/categories.h"

#include <string>
#include <vector>

namespace kestro {

// The main window's choices, read when Start is pressed.
struct JobChoices {
    std::string sourceText;                 // text of the source combo box cbSource
    int sourceIndex = -1;                   // its selected index (-1: none)
    std::vector<std::string> sourceEntries; // its entries, in order
    std::string destination;                // eOutputFolder, as typed
    bool useSourcePath = false;             // cbSourceFilePath
    std::string sourcePath;                 // eSourcePath, as typed
    int recoveryMode = 0;                   // selected index of cbRecoveryMode (0 Quick, other Deep, -1 none)
    int filter = 0;                         // rgFileType index 0..3 (-1 none)
    std::string fileName;                   // seFileName
    std::string wildcard;                   // seWildcard
    CategoryChoice types;                   // suiCheckBox1..7 + seCustomFileType
};

// What the checks ask the system; the Win32 side answers, tests fake it.
class JobSystem {
public:
    virtual ~JobSystem() = default;
    // The attributes of path can be read and mark a directory.
    virtual bool IsDirectory(const std::string& path) = 0;
    // The file-system name of the drive ("NTFS", "FAT32", ...); "" when it cannot be read.
    virtual std::string FileSystemName(char driveLetter) = 0;
    // Identity of the volume on which path really lives (relative paths, subst drives and
    // mount points resolved); "" when it cannot be told. For a drive root pass "X:\".
    virtual std::string VolumeOf(const std::string& path) = 0;

    // For paths that lead back to this computer through the network. A system that answers
    // none of these knows no names, shares or mapped drives beyond "localhost" and the
    // loopback addresses, which need no asking.
    // The names and addresses this computer is reached by: NetBIOS and DNS names, own addresses.
    virtual std::vector<std::string> ComputerNames() { return {}; }
    // The local folder that a share of this computer stands for ("D:\Shared" for "Shared");
    // "" when it cannot be told.
    virtual std::string SharedFolder(const std::string& shareName) {
        (void)shareName;
        return {};
    }
    // The network folder a drive letter is connected to ("\\server\share"); "" for any other drive.
    virtual std::string MappedDrive(char driveLetter) {
        (void)driveLetter;
        return {};
    }
};

struct JobResult {
    bool ok = false;
    std::string message;                   // the first failing check's message (when !ok)
    std::string arguments;                 // the argument string (when ok); always ends with one blank
    bool switchToDeepScan = false;         // the caller sets cbRecoveryMode to index 1
    std::vector<std::string> expectedArgs; // the arguments the tool will read from `arguments`
};

// Checks the choices in their fixed order; the first failing check gives the message.
// When all pass, builds the argument string for "winfr ".
JobResult CheckAndBuild(const JobChoices& choices, JobSystem& system);

} // namespace kestro
