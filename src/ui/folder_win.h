#pragma once
#include <string>

namespace kestro {

// The shell's folder-browse dialog, centred on the screen, with the program's
// other windows disabled while it is open. folder is cleared on entry unless it
// names an existing directory, and receives the chosen folder on success.
// Returns true when the user confirmed a folder.
bool SelectFolder(const std::string& title, const std::wstring& root, std::string& folder);

} // namespace kestro
