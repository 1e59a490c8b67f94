#pragma once
// The settings file: five remembered choices of the main window in settings.ini.
#include <cstdint>
#include <string>

namespace kestro {

struct RememberedChoices {
    std::string FOutputDirectory;
    std::string FSourcePath;
    bool FIsUseSourcePath = false;
    std::int32_t FRecoveryMode = 0;
    std::int32_t FSourceDrive = 0;
};

// The state of the main window's controls when it closes.
struct ChoicesAtClose {
    std::string destinationText;  // eOutputFolder
    std::string sourcePathText;   // eSourcePath
    bool useSourcePath = false;   // cbSourceFilePath
    int recoveryModeIndex = 0;    // cbRecoveryMode (-1 none)
    int sourceDriveIndex = 0;     // cbSource (-1 none)
};

// The user's application-data folder with a trailing backslash; empty when the shell cannot tell.
std::string GetAppDataFolder();
// The settings file: <app data>\Kestro\Refindor\settings.ini, the folder created
// when missing, or the program's own folder when that fails.
std::string SettingsFile();

void ReadSettings(const std::string& file, RememberedChoices& fields);
// Writes the choices by the saving rules and updates the fields that saving updates.
void WriteSettings(const std::string& file, const ChoicesAtClose& now, RememberedChoices& fields);

} // namespace kestro
