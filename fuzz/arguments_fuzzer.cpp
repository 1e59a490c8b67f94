// The checks on Start and the winfr argument string, on choices drawn from the fuzz input.
//
// Promises checked:
//  - whenever the checks pass, the argument string parses back (by the rules the tool's C
//    runtime reads its command line with) into exactly the intended arguments, and ends in one
//    blank;
//  - whenever they pass, the destination is on another volume than the source, as the system
//    (a fake here, with subst-like aliases and relative paths) reports volumes;
//  - a refusal always carries a message and no argument string;
//  - any list of arguments, each quoted, parses back into the same list.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "global/text.h"
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
          aliasTo_(Letter(in)), currentDrive_(in.ConsumeBool() ? Letter(in) : '\0') {}

    bool IsDirectory(const std::string&) override { return isDirectory_; }
    std::string FileSystemName(char) override { return fileSystem_; }
    std::string VolumeOf(const std::string& path) override {
        char letter = currentDrive_;
        if (path.size() >= 2 && path[1] == ':') {
            letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        }
        if (letter == '\0') {
            return "";
        }
        if (letter == aliasFrom_) {
            letter = aliasTo_;
        }
        return std::string("\\\\?\\Volume{") + letter + "}\\";
    }

    static char Letter(FuzzedDataProvider& in) { return static_cast<char>('A' + in.ConsumeIntegralInRange(0, 25)); }

private:
    bool isDirectory_;
    std::string fileSystem_;
    char aliasFrom_;
    char aliasTo_;
    char currentDrive_;
};

// Either a well-formed value of the field's kind or arbitrary text (blanks, quotes and
// backslashes included), so that both the refusals and the quoting are reached.
std::string DrivePath(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) {
        return in.ConsumeRandomLengthString(40);
    }
    std::string path(1, FakeSystem::Letter(in));
    path += in.ConsumeBool() ? ":\\" : ":";
    return path + in.ConsumeRandomLengthString(40);
}

std::string SourceEntry(FuzzedDataProvider& in) {
    if (in.ConsumeIntegralInRange(0, 4) == 0) {
        return in.ConsumeRandomLengthString(30);
    }
    return in.ConsumeRandomLengthString(20) + " (" + FakeSystem::Letter(in) + ":)";
}

JobChoices Choices(FuzzedDataProvider& in) {
    JobChoices c;
    const int entries = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < entries; ++i) {
        c.sourceEntries.push_back(SourceEntry(in));
    }
    c.sourceIndex = in.ConsumeIntegralInRange(-1, entries);
    if (c.sourceIndex >= 0 && c.sourceIndex < entries && in.ConsumeBool()) {
        c.sourceText = c.sourceEntries[static_cast<std::size_t>(c.sourceIndex)];
    } else {
        c.sourceText = in.ConsumeRandomLengthString(30);
    }
    c.destination = DrivePath(in);
    c.useSourcePath = in.ConsumeBool();
    c.sourcePath = DrivePath(in);
    c.recoveryMode = in.ConsumeIntegralInRange(-1, 2);
    c.filter = in.ConsumeIntegralInRange(-1, 4);
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
    const JobChoices choices = Choices(in);
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
