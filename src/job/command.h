#pragma once
// The checks made when Start is pressed, and the winfr argument string built from the choices.
#include "job/categories.h"
#include "job/recovery_options.h"
#include "job/tool_options.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestro {

// One entry of the source-drive list: its caption ("Data (E:)") and the drive it stands for, kept
// apart from the caption so that no caption has to be read back.
struct SourceEntry {
    std::string caption;
    char letter = 0;
};

// The main window's choices, read when Start is pressed.
struct JobChoices {
    std::string sourceText;                 // text of the source combo box sourceCombo
    int sourceIndex = -1;                   // its selected index (-1: none)
    std::vector<SourceEntry> sourceEntries; // its entries, in order
    std::string destination;                // destinationEdit, as typed
    bool useSourcePath = false;             // sourceFolderCheck
    std::string sourcePath;                 // sourceFolderEdit, as typed
    RecoveryMode recoveryMode = RecoveryMode::Quick;
    std::optional<Filter> filter = Filter::AllDeleted; // nothing when no item is chosen
    std::string fileName;                              // fileNameEdit
    std::string wildcard;                              // wildcardEdit
    CategoryChoice types;                              // the category check boxes, "Custom file types" and its edit
    ToolOptions options;                               // the Advanced options dialog's choices
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
    // The serial number of the volume that holds path, also where the path leads through the
    // network and the volume's own name cannot be told; nothing when it cannot be read.
    virtual std::optional<std::uint32_t> VolumeSerial(const std::string& path) {
        (void)path;
        return std::nullopt;
    }
};

// What the checks found out about choices that pass them, for the argument string.
struct CheckedChoices {
    std::string sourceDrive; // "C:"
    // The source folder below its drive, with a trailing backslash ("\Old Work\"); empty when
    // the source folder is not used.
    std::string folderPart;
};

struct CheckResult {
    bool passed = false;
    std::string message;    // the first failing check's message (when !passed)
    CheckedChoices checked; // (when passed)
};

// Checks the choices in their fixed order; the first failing check gives the message. Asks the
// system whether the destination is a folder and on which volumes it and the source lie.
CheckResult CheckChoices(const JobChoices& choices, JobSystem& system);

struct JobArguments {
    std::string arguments;                 // the argument string for "winfr "; always ends with one blank
    std::vector<std::string> expectedArgs; // the arguments the tool will read from `arguments`
    bool switchToDeepScan = false;         // a quick scan was asked for a drive where only the deep scan works
};

// The argument string of checked choices. Asks the system for the source drive's file system when
// a quick scan was chosen.
JobArguments BuildArguments(const JobChoices& choices, const CheckedChoices& checked, JobSystem& system);

struct JobResult {
    bool ok = false;
    std::string message;                   // the first failing check's message (when !ok)
    std::string arguments;                 // the argument string (when ok); always ends with one blank
    std::string sourceDrive;               // the drive recovered from, "C:" (when ok)
    bool switchToDeepScan = false;         // the caller sets the mode list to Deep Scan
    std::vector<std::string> expectedArgs; // the arguments the tool will read from `arguments`
};

// CheckChoices, then BuildArguments when every check passed: what Start does.
JobResult CheckAndBuild(const JobChoices& choices, JobSystem& system);

} // namespace kestro
