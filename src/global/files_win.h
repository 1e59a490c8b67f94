#pragma once
// Questions about files, folders and volumes asked at the Win32 boundary.
#include <string>

namespace kestro {

// The attributes of path can be read and mark a directory (GetFileAttributes).
bool DirectoryExists(const std::string& path);

// The folder of the running program, with a trailing backslash.
std::string ExecutableFolder();

// Identity of the volume on which path really lives, after resolving it to a
// full path (relative paths, subst drives, folders where a volume is mounted):
// the volume GUID path of the opened directory, or of the drive root when the
// path is a bare drive. Empty when it cannot be told.
std::string VolumeIdentity(const std::string& path);

// The full path of the program that a bare tool name stands for: searched in the application's
// folder, the system folder, the Windows folder, the absolute PATH folders and this account's
// folder of Store app aliases (%LOCALAPPDATA%\Microsoft\WindowsApps), in that order, but
// never in the current directory. ".exe" is added to a name without an extension. Empty when
// nothing is found.
std::wstring FindToolProgram(const std::wstring& name);

} // namespace kestro
