#include "job/tool_options.h"

#include "base/settings_values.h"
#include "base/text.h"

namespace kestro {

namespace {

struct FlagOption {
    bool ToolOptions::*member;
    const char* toolSwitch;
    const char* settingsKey;
};

// In the order the switches go onto the command line and the keys into the file.
constexpr FlagOption kFlags[] = {
    {&ToolOptions::undeletedFiles, "/u", "UndeletedFiles"},
    {&ToolOptions::systemFiles, "/k", "SystemFiles"},
    {&ToolOptions::noPrimaryStream, "/g", "NoPrimaryStream"},
};

struct OverwriteChoice {
    Overwrite overwrite;
    const char* toolSwitch;
    const char* settingsValue;
};

constexpr OverwriteChoice kOverwriteChoices[] = {
    {Overwrite::KeepBoth, "/o:b", "keep"},
    {Overwrite::Never, "/o:n", "never"},
    {Overwrite::Always, "/o:a", "always"},
};

constexpr char kOverwriteKey[] = "Overwrite";

const OverwriteChoice& ChoiceOf(Overwrite overwrite) {
    for (const OverwriteChoice& choice : kOverwriteChoices) {
        if (choice.overwrite == overwrite) {
            return choice;
        }
    }
    return kOverwriteChoices[0];
}

// The profile functions strip the blanks around a value, and a person editing the file by hand
// may write "Never".
Overwrite OverwriteOfSetting(std::string_view value) {
    for (const OverwriteChoice& choice : kOverwriteChoices) {
        if (SameTextAscii(TrimView(value), choice.settingsValue)) {
            return choice.overwrite;
        }
    }
    return Overwrite::KeepBoth;
}

} // namespace

std::string OverwriteSwitch(Overwrite overwrite) {
    return ChoiceOf(overwrite).toolSwitch;
}

std::vector<std::string> OptionSwitches(const ToolOptions& options) {
    std::vector<std::string> switches;
    for (const FlagOption& flag : kFlags) {
        if (options.*flag.member) {
            switches.emplace_back(flag.toolSwitch);
        }
    }
    return switches;
}

std::vector<StoredOption> StoredToolOptions(const ToolOptions& options) {
    std::vector<StoredOption> stored;
    for (const FlagOption& flag : kFlags) {
        const bool on = options.*flag.member;
        stored.emplace_back(flag.settingsKey, on ? std::optional<std::string>(ProfileBoolText(true)) : std::nullopt);
    }
    const bool atDefault = options.overwrite == Overwrite::KeepBoth;
    stored.emplace_back(kOverwriteKey, atDefault
                                           ? std::nullopt
                                           : std::optional<std::string>(ChoiceOf(options.overwrite).settingsValue));
    return stored;
}

ToolOptions ToolOptionsFromSettings(const std::function<std::string(const std::string& key)>& valueOf) {
    ToolOptions options;
    for (const FlagOption& flag : kFlags) {
        options.*flag.member = ProfileBool(valueOf(flag.settingsKey), false);
    }
    options.overwrite = OverwriteOfSetting(valueOf(kOverwriteKey));
    return options;
}

} // namespace kestro
