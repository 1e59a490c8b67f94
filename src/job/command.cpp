#include "job/command.h"

#include <optional>
#include <string_view>
#include <utility>

#include "base/text.h"
#include "base/texts.h"
#include "job/cmdline.h"
#include "job/shares.h"

namespace kestro {

namespace {

// The entry the source box stands for, nullptr when none. Text typed into the box counts
// only when it is one of the listed entries: anything else names no drive the list offers.
const SourceEntry* ChosenEntry(const JobChoices& choices) {
    const auto& entries = choices.sourceEntries;
    if (choices.sourceIndex >= 0 && static_cast<std::size_t>(choices.sourceIndex) < entries.size()) {
        return &entries[static_cast<std::size_t>(choices.sourceIndex)];
    }
    for (const auto& entry : entries) {
        if (entry.caption == choices.sourceText) {
            return &entry;
        }
    }
    return nullptr;
}

// "D:" from "D:\Rescue"; ":" when the path has no colon (a network or relative path), which
// matches no drive.
std::string DriveOfPath(std::string_view path) {
    return TextBefore(path, ":") + ":";
}

bool HasQuote(std::string_view s) {
    return s.find('"') != std::string_view::npos;
}

CheckResult Refused(std::string message) {
    CheckResult result;
    result.message = std::move(message);
    return result;
}

// A double quote cannot be part of a Windows file name, and inside an argument it would end
// the quoting early and hand the tool different arguments than the ones shown on screen.
// Only the fields the chosen filter uses are looked at.
const std::string* FieldWithQuote(const JobChoices& choices) {
    if (HasQuote(choices.destination)) {
        return &Text(IDS_FIELD_DESTINATION);
    }
    if (choices.useSourcePath && HasQuote(choices.sourcePath)) {
        return &Text(IDS_FIELD_SOURCE_PATH);
    }
    if (choices.filter == Filter::SpecificFile && HasQuote(choices.fileName)) {
        return &Text(IDS_FIELD_FILE_NAME);
    }
    if (choices.filter == Filter::Wildcard && HasQuote(choices.wildcard)) {
        return &Text(IDS_FIELD_WILDCARD);
    }
    if (choices.filter == Filter::FileType && choices.types.custom && HasQuote(choices.types.customText)) {
        return &Text(IDS_FIELD_CUSTOM_TYPES);
    }
    return nullptr;
}

// Custom types are written as ".dll, .ini"; a text that does not start with a dot is refused.
bool CustomTypesMalformed(const JobChoices& choices) {
    return choices.filter == Filter::FileType && choices.types.custom &&
           (choices.types.customText.empty() || choices.types.customText.front() != '.');
}

// The drive of the chosen source entry ("C:"); empty when there is none, or when the entry stands
// for no drive letter.
std::string SourceDrive(const JobChoices& choices) {
    if (choices.sourceText.empty()) {
        return {};
    }
    const SourceEntry* entry = ChosenEntry(choices);
    const bool letter = entry != nullptr && ((entry->letter >= 'A' && entry->letter <= 'Z') ||
                                             (entry->letter >= 'a' && entry->letter <= 'z'));
    return letter ? std::string{entry->letter, ':'} : std::string();
}

// Where a destination lies on this computer.
struct LocalPlace {
    // Reached through a share of this computer, or a drive letter connected to one.
    bool throughShare = false;
    // The local path; nothing for a share of this computer whose folder cannot be told.
    std::optional<std::string> path;
};

LocalPlace PlaceOnThisComputer(const std::string& destination, JobSystem& system) {
    std::string path = WithoutLocalPrefix(destination);
    if (path.size() >= 2 && path[1] == ':') {
        // A drive letter connected to a share is that share.
        const char letter = static_cast<char>(path[0] >= 'a' && path[0] <= 'z' ? path[0] - 'a' + 'A' : path[0]);
        const std::string remote = letter >= 'A' && letter <= 'Z' ? system.MappedDrive(letter) : std::string();
        if (remote.empty()) {
            return LocalPlace{false, path};
        }
        path = JoinBelow(remote, path.substr(2));
    }
    const auto share = ParseShareAddress(path);
    if (!share || !IsThisComputer(share->server, system.ComputerNames())) {
        return LocalPlace{false, path}; // a local path, or a share of another computer
    }
    std::string folder = AdministrativeShareRoot(share->share);
    if (folder.empty()) {
        folder = system.SharedFolder(share->share);
    }
    if (folder.empty()) {
        return LocalPlace{true, std::nullopt};
    }
    return LocalPlace{true, JoinBelow(folder, share->rest)};
}

enum class Placement {
    ElsewhereThanTheSource,
    OnTheSourceVolume,
    Unchecked, // a network folder whose volume cannot be read
};

// A network folder that the names of this computer do not lead back to may still be on it: a name
// of its own (an alias, a hosts-file entry) reaches its shares too. Such a folder's volume has no
// name here, but its serial number can be read through the share: one that cannot be read leaves
// the folder unchecked.
Placement NetworkPlacement(const std::string& path, const std::string& sourceDrive, JobSystem& system) {
    const std::optional<std::uint32_t> destination = system.VolumeSerial(path);
    if (!destination) {
        return Placement::Unchecked;
    }
    const std::optional<std::uint32_t> source = system.VolumeSerial(sourceDrive + "\\");
    return source && *source == *destination ? Placement::OnTheSourceVolume : Placement::ElsewhereThanTheSource;
}

// Letters alone miss a relative destination, a subst drive, a folder on which the source volume
// is mounted and a share of this computer (\\localhost\C$\..., \\<this computer>\Share\..., a
// drive connected to one); the tool would then write onto the disk it recovers from and
// overwrite the very files being looked for.
Placement PlaceOfDestination(const std::string& destination, const std::string& sourceDrive, JobSystem& system) {
    if (SameTextAscii(DriveOfPath(WithoutLocalPrefix(destination)), sourceDrive)) {
        return Placement::OnTheSourceVolume;
    }
    const LocalPlace place = PlaceOnThisComputer(destination, system);
    if (place.path && SameTextAscii(DriveOfPath(*place.path), sourceDrive)) {
        return Placement::OnTheSourceVolume;
    }
    const std::string destinationVolume = place.path ? system.VolumeOf(*place.path) : std::string();
    if (destinationVolume.empty() && !place.throughShare) {
        if (place.path && ParseShareAddress(*place.path)) {
            return NetworkPlacement(*place.path, sourceDrive, system);
        }
        return Placement::ElsewhereThanTheSource;
    }
    const std::string sourceVolume = system.VolumeOf(sourceDrive + "\\");
    if (destinationVolume.empty()) {
        // A share of this computer that cannot be followed to its volume may be the source.
        return sourceVolume.empty() ? Placement::ElsewhereThanTheSource : Placement::OnTheSourceVolume;
    }
    return SameTextAscii(destinationVolume, sourceVolume) ? Placement::OnTheSourceVolume
                                                          : Placement::ElsewhereThanTheSource;
}

void AddFilter(std::vector<std::string>& args, std::string value) {
    args.emplace_back("/n");
    args.push_back(std::move(value));
}

// The regular mode works on NTFS alone; on any other file system, or one that cannot be read, the
// tool needs the extensive mode to find anything.
void AddModeSwitches(RecoveryMode mode, const std::string& sourceDrive, JobSystem& system, JobArguments& result) {
    if (mode == RecoveryMode::Deep) {
        result.expectedArgs.emplace_back("/extensive");
        return;
    }
    result.expectedArgs.emplace_back("/regular");
    if (!SameTextAscii(system.FileSystemName(sourceDrive.front()), "NTFS")) {
        result.expectedArgs.emplace_back("/extensive");
        result.switchToDeepScan = true;
    }
}

void AddFilters(const JobChoices& choices, const std::string& folderPart, std::vector<std::string>& args) {
    if (!choices.filter) {
        return;
    }
    switch (*choices.filter) {
    case Filter::AllDeleted:
        if (choices.useSourcePath) {
            AddFilter(args, folderPart);
        }
        break;
    case Filter::SpecificFile:
    case Filter::Wildcard: {
        const std::string& name = choices.filter == Filter::SpecificFile ? choices.fileName : choices.wildcard;
        // Without a name there is nothing to narrow, so not even the folder is passed.
        if (!name.empty()) {
            AddFilter(args, folderPart + name);
        }
        break;
    }
    case Filter::FileType:
        for (const auto& pattern : BuildPatternList(choices.types)) {
            AddFilter(args, folderPart + pattern);
        }
        break;
    }
}

} // namespace

CheckResult CheckChoices(const JobChoices& choices, JobSystem& system) {
    CheckResult result;
    result.checked.sourceDrive = SourceDrive(choices);
    const std::string& sourceDrive = result.checked.sourceDrive;
    if (sourceDrive.empty()) {
        return Refused(Text(IDS_SELECT_SOURCE));
    }
    if (!system.IsDirectory(choices.destination)) {
        return Refused(FormatText(Text(IDS_OUTPUT_NOT_EXIST), {choices.destination}));
    }
    switch (PlaceOfDestination(choices.destination, sourceDrive, system)) {
    case Placement::OnTheSourceVolume:
        return Refused(Text(IDS_SAME_PARTITION));
    case Placement::Unchecked:
        return Refused(FormatText(Text(IDS_NETWORK_DESTINATION_UNCHECKED), {choices.destination}));
    case Placement::ElsewhereThanTheSource:
        break;
    }
    if (choices.useSourcePath) {
        std::string folder = choices.sourcePath;
        if (folder.empty() || folder.back() != '\\') {
            folder.push_back('\\');
        }
        if (!SameTextAscii(DriveOfPath(folder), sourceDrive)) {
            return Refused(FormatText(Text(IDS_CHECK_DRIVE), {choices.sourcePath}));
        }
        result.checked.folderPart = TextAfter(folder, ":");
    }
    if (CustomTypesMalformed(choices)) {
        return Refused(Text(IDS_CHECK_CUSTOM_TYPE));
    }
    if (const std::string* field = FieldWithQuote(choices)) {
        return Refused(FormatText(Text(IDS_NO_QUOTES_IN), {*field}));
    }
    result.passed = true;
    return result;
}

JobArguments BuildArguments(const JobChoices& choices, const CheckedChoices& checked, JobSystem& system) {
    JobArguments result;
    auto& args = result.expectedArgs;
    args.push_back(checked.sourceDrive);
    args.push_back(choices.destination);
    AddModeSwitches(choices.recoveryMode, checked.sourceDrive, system, result);
    args.push_back(OverwriteSwitch(choices.options.overwrite));
    args.emplace_back("/a");
    args.emplace_back("/e:*.mm1");
    for (std::string& option : OptionSwitches(choices.options)) {
        args.push_back(std::move(option));
    }
    AddFilters(choices, checked.folderPart, args);
    for (const auto& arg : args) {
        result.arguments += QuoteArgument(arg);
        result.arguments += ' ';
    }
    return result;
}

JobResult CheckAndBuild(const JobChoices& choices, JobSystem& system) {
    JobResult result;
    const CheckResult check = CheckChoices(choices, system);
    if (!check.passed) {
        result.message = check.message;
        return result;
    }
    JobArguments built = BuildArguments(choices, check.checked, system);
    result.ok = true;
    result.arguments = std::move(built.arguments);
    result.sourceDrive = check.checked.sourceDrive;
    result.switchToDeepScan = built.switchToDeepScan;
    result.expectedArgs = std::move(built.expectedArgs);
    return result;
}

} // namespace kestro
