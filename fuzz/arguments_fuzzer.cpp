// The checks on Start and the winfr argument string, on choices drawn from the fuzz input.
//
// Promises checked:
//  - whenever the checks pass, the argument string parses back (by the rules the tool's C
//    runtime reads its command line with) into exactly the intended arguments, and ends in one
//    blank;
//  - whenever they pass, the destination is on another volume than the source, as the system
//    (a fake here, with subst-like aliases, relative paths, a drive letter connected to an
//    administrative share of this computer, and shares of this computer written every way)
//    reports volumes;
//  - a refusal always carries a message and no argument string;
//  - any list of arguments, each quoted, parses back into the same list.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "base/text.h"
#include "job/cmdline.h"
#include "job/command.h"

namespace {

using namespace kestro;
using fuzz::Check;

// Drive letters are volumes of their own, except one letter that aliases another (a subst drive
// or a mount point); a path without a drive lies on the volume of the current directory, which
// may be unknown.
class FakeSystem : public JobSystem {
public:
    explicit FakeSystem(FuzzedDataProvider& in)
        : isDirectory_(in.ConsumeIntegralInRange(0, 7) != 0),
          fileSystem_(in.PickValueInArray({"NTFS", "ntfs", "FAT32", "exFAT", ""})), aliasFrom_(Letter(in)),
          aliasTo_(Letter(in)), currentDrive_(in.ConsumeBool() ? Letter(in) : '\0'), mappedFrom_(Letter(in)),
          mappedTo_(Letter(in)) {}

    bool IsDirectory(const std::string&) override { return isDirectory_; }
    std::string FileSystemName(char) override { return fileSystem_; }
    std::string VolumeOf(const std::string& path) override {
        if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/')) {
            return ""; // a network path: no volume of this computer
        }
        char letter = currentDrive_;
        if (path.size() >= 2 && path[1] == ':') {
            letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        }
        if (letter == '\0') {
            return "";
        }
        if (letter == mappedFrom_) {
            letter = mappedTo_; // connected to that drive's administrative share
        }
        if (letter == aliasFrom_) {
            letter = aliasTo_;
        }
        return std::string("\\\\?\\Volume{") + letter + "}\\";
    }

    std::vector<std::string> ComputerNames() override { return {"KESTRO-PC", "192.168.1.20"}; }
    std::string SharedFolder(const std::string& share) override {
        // "Share<letter>" is the root of that drive.
        if (share.size() == 6 && share.rfind("Share", 0) == 0) {
            return std::string(1, share[5]) + ":\\";
        }
        return {};
    }
    std::string MappedDrive(char letter) override {
        return letter == mappedFrom_ ? std::string("\\\\localhost\\") + mappedTo_ + "$" : std::string();
    }

    // The drive a destination really lies on, as far as this fake knows it: 0 when unknown.
    char TrueLetter(const std::string& destination, char generatedShareLetter) const {
        if (generatedShareLetter != '\0') {
            return generatedShareLetter;
        }
        if (destination.size() >= 2 && destination[1] == ':' && std::isalpha(static_cast<unsigned char>(destination[0]))) {
            const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(destination[0])));
            return letter == mappedFrom_ ? mappedTo_ : letter;
        }
        return '\0';
    }

    static char Letter(FuzzedDataProvider& in) { return static_cast<char>('A' + in.ConsumeIntegralInRange(0, 25)); }

private:
    bool isDirectory_;
    std::string fileSystem_;
    char aliasFrom_;
    char aliasTo_;
    char currentDrive_;
    char mappedFrom_;
    char mappedTo_;
};

// A path through a share of this computer onto a drive, written one of the ways the system
// reads; the drive is returned in letter.
std::string ShareOfThisComputer(FuzzedDataProvider& in, char& letter) {
    letter = FakeSystem::Letter(in);
    const std::string server = in.PickValueInArray({"localhost", "LOCALHOST.", "127.0.0.1", "127.1", "[::1]",
                                                    "0--1.ipv6-literal.net", "KESTRO-PC", "kestro-pc",
                                                    "192.168.1.20", "localhost@SSL"});
    const std::string share = in.ConsumeBool() ? std::string(1, letter) + "$" : "Share" + std::string(1, letter);
    const std::string form = in.PickValueInArray({"\\\\", "//", "\\\\?\\UNC\\", "\\\\.\\UNC\\"});
    const char separator = form == "//" ? '/' : '\\';
    return form + server + separator + share + separator + in.ConsumeRandomLengthString(20);
}

// Either a well-formed value of the field's kind or arbitrary text (blanks, quotes and
// backslashes included), so that both the refusals and the quoting are reached.
std::string DrivePath(FuzzedDataProvider& in, char* shareLetter = nullptr) {
    if (shareLetter != nullptr && in.ConsumeIntegralInRange(0, 3) == 0) {
        return ShareOfThisComputer(in, *shareLetter);
    }
    if (in.ConsumeBool()) {
        return in.ConsumeRandomLengthString(40);
    }
    std::string path(1, FakeSystem::Letter(in));
    path += in.ConsumeBool() ? ":\\" : ":";
    return path + in.ConsumeRandomLengthString(40);
}

SourceEntry FuzzedSourceEntry(FuzzedDataProvider& in) {
    if (in.ConsumeIntegralInRange(0, 4) == 0) {
        return {in.ConsumeRandomLengthString(30), in.ConsumeIntegral<char>()};
    }
    const char letter = FakeSystem::Letter(in);
    return {in.ConsumeRandomLengthString(20) + " (" + letter + ":)", letter};
}

JobChoices Choices(FuzzedDataProvider& in, char& shareLetter) {
    JobChoices c;
    const int entries = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < entries; ++i) {
        c.sourceEntries.push_back(FuzzedSourceEntry(in));
    }
    c.sourceIndex = in.ConsumeIntegralInRange(-1, entries);
    if (c.sourceIndex >= 0 && c.sourceIndex < entries && in.ConsumeBool()) {
        c.sourceText = c.sourceEntries[static_cast<std::size_t>(c.sourceIndex)].caption;
    } else {
        c.sourceText = in.ConsumeRandomLengthString(30);
    }
    c.destination = DrivePath(in, &shareLetter);
    c.useSourcePath = in.ConsumeBool();
    c.sourcePath = DrivePath(in);
    c.recoveryMode = RecoveryModeOfIndex(in.ConsumeIntegralInRange(-1, 2));
    c.filter = FilterOfIndex(in.ConsumeIntegralInRange(-1, 4));
    c.fileName = in.ConsumeRandomLengthString(30);
    c.wildcard = in.ConsumeRandomLengthString(30);
    for (bool& ticked : c.types.ticked) {
        ticked = in.ConsumeBool();
    }
    c.types.custom = in.ConsumeBool();
    c.types.customText = (in.ConsumeBool() ? "." : "") + in.ConsumeRandomLengthString(40);
    return c;
}

void CheckJob(FuzzedDataProvider& in) {
    FakeSystem system(in);
    char shareLetter = '\0';
    const JobChoices choices = Choices(in, shareLetter);
    const JobResult result = CheckAndBuild(choices, system);
    if (!result.ok) {
        Check(!result.message.empty(), "a refusal without a message");
        Check(result.arguments.empty(), "a refusal with an argument string");
        return;
    }
    Check(!result.arguments.empty() && result.arguments.back() == ' ', "the argument string does not end in a blank");
    Check(result.arguments.size() < 2 || result.arguments[result.arguments.size() - 2] != ' ',
          "the argument string ends in more than one blank");
    Check(ParseArguments(result.arguments) == result.expectedArgs, "the arguments do not parse back as intended");
    Check(result.expectedArgs.size() >= 2 && result.expectedArgs[1] == choices.destination,
          "the destination is not the second argument");
    const std::string& source = result.expectedArgs[0];
    Check(!SameTextAscii(TextBefore(choices.destination, ":") + ":", source), "the destination is on the source drive");
    const std::string destinationVolume = system.VolumeOf(choices.destination);
    Check(destinationVolume.empty() || destinationVolume != system.VolumeOf(source + "\\"),
          "the destination is on the source volume");
    if (const char letter = system.TrueLetter(choices.destination, shareLetter); letter != '\0') {
        Check(system.VolumeOf(std::string(1, letter) + ":\\") != system.VolumeOf(source + "\\"),
              "the destination leads back onto the source volume through a share");
    }
}

void CheckQuoting(FuzzedDataProvider& in) {
    std::vector<std::string> args;
    std::string line;
    const int count = in.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < count; ++i) {
        args.push_back(in.ConsumeRandomLengthString(40));
        line += QuoteArgument(args.back());
        line += in.PickValueInArray({" ", "\t", "  "});
    }
    Check(ParseArguments(line) == args, "quoted arguments do not parse back");
    // Whatever text the parser is given, it must not fail.
    ParseArguments(in.ConsumeRemainingBytesAsString());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        CheckJob(in);
    } else {
        CheckQuoting(in);
    }
    return 0;
}
