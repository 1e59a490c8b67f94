#pragma once
// One recovery run as Start describes it, made once from the checked choices. The Scanning dialog
// and the run's log take everything from it, never from the main window's controls.
#include <string>

#include "job/recovery_options.h"
#include "job/tool_options.h"

namespace kestro {

struct RunRequest {
    std::string arguments;   // for "winfr ": the argument string, ending in one blank
    std::string destination; // the destination folder as the user gave it
    // The mode the run uses: a quick scan of a drive where only the deep scan works runs deep.
    RecoveryMode mode = RecoveryMode::Quick;
    char sourceDrive = 0;         // the letter of the drive recovered from ('C')
    std::string sourceFileSystem; // its file system ("NTFS"); empty when it cannot be read
    ToolOptions options;          // the tool's own switches, as the arguments carry them

    // "C:", as the tool and the log write the drive; empty without one.
    std::string SourceDriveText() const { return sourceDrive != 0 ? std::string{sourceDrive, ':'} : std::string(); }
};

} // namespace kestro
