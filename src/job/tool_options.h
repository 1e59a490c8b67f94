#pragma once
// The tool's own switches that the Advanced options dialog offers: what else to recover, and what
// to do with a recovered file whose name is already taken. Their defaults give the command line
// the program has always passed.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestro {

enum class Overwrite { KeepBoth, Never, Always };

struct ToolOptions {
    bool undeletedFiles = false;  // /u: files that are not deleted, such as those in the Recycle Bin
    bool systemFiles = false;     // /k
    bool noPrimaryStream = false; // /g: files without their primary data stream
    Overwrite overwrite = Overwrite::KeepBoth;

    bool operator==(const ToolOptions&) const = default;
};

// "/o:b", "/o:n" or "/o:a".
std::string OverwriteSwitch(Overwrite overwrite);
// The switches the ticked options add, "/u", "/k" and "/g" in this order; none at the defaults.
std::vector<std::string> OptionSwitches(const ToolOptions& options);

// The options in settings.ini, key by key in the order they are written: the value to write, or
// nothing where the option is at its default and the key is to be removed.
using StoredOption = std::pair<std::string, std::optional<std::string>>;
std::vector<StoredOption> StoredToolOptions(const ToolOptions& options);
// The options from the stored values (valueOf gives "" for a missing key). A value that means
// nothing gives that option's default.
ToolOptions ToolOptionsFromSettings(const std::function<std::string(const std::string& key)>& valueOf);

} // namespace kestro
