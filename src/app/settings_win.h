#pragma once
// The settings file: five remembered choices of the main window in settings.ini, the tool's own
// switches chosen under Advanced options, and the language the user may have set there.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "job/tool_options.h"

namespace kestro {

struct RememberedChoices {
    std::string destination;
    std::string sourceFolder;
    bool useSourceFolder = false;
    std::int32_t recoveryMode = 0;
    std::int32_t sourceDrive = 0;
    std::string language; // Language: "de", "en" ...; empty when not set
    ToolOptions toolOptions;
};

// The state of the main window's controls when it closes.
struct ChoicesAtClose {
    std::string destinationText; // destinationEdit
    std::string sourcePathText;  // sourceFolderEdit
    bool useSourcePath = false;  // sourceFolderCheck
    int recoveryModeIndex = 0;   // modeCombo (-1 none)
    int sourceDriveIndex = 0;    // sourceCombo (-1 none)
};

// The user's application-data folder with a trailing backslash; empty when the shell cannot tell.
std::string GetAppDataFolder();
// The settings file: <app data>\Kestro\Refindor\settings.ini, the folder created
// when missing, or the program's own folder when that fails.
std::string SettingsFile();
// The same for a given application-data folder (empty: the shell could not tell).
std::string SettingsFile(const std::string& appDataFolder);

// Fills all the fields: the stored values, or the defaults for what is missing
// or unreadable. A file that cannot be opened, or is too large or binary, gives
// the defaults throughout.
void ReadSettings(const std::string& file, RememberedChoices& fields);
// Writes the choices by the saving rules and updates the fields that saving updates.
// A missing file is created as UTF-16LE first, and an 8-bit file of an earlier
// version converted, so that paths in any language survive. Throws std::runtime_error
// at the first key the system refuses; the keys before it stay written.
void WriteSettings(const std::string& file, const ChoicesAtClose& now, RememberedChoices& fields);

// Writes one key of the settings section, or removes it when value is nothing; throws
// std::runtime_error when refused.
void WriteSettingsKey(const std::string& file, const std::string& key, const std::optional<std::string>& value);
// The saving rules with the keys going to writeKey, in order (nothing: the key is removed); what
// writeKey throws ends the save there.
using SettingsKeyWriter = std::function<void(const std::string& key, const std::optional<std::string>& value)>;
void WriteSettings(const SettingsKeyWriter& writeKey, const ChoicesAtClose& now, RememberedChoices& fields);

} // namespace kestro
