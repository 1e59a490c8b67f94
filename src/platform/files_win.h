#pragma once
// Questions about files, folders and volumes asked at the Win32 boundary.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/tool_folders.h"

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

// The serial number of the volume that holds path (a folder or a drive root), read through the
// opened folder, so also where the path leads over the network; nothing when it cannot be read.
std::optional<std::uint32_t> VolumeSerialNumber(const std::string& path);

// This system's answers to where its tool folders are.
ToolFolderFacts SystemToolFolderFacts();

// The full path of the program file a bare name stands for (".exe" added to a name without an
// extension) in the first of folders that holds it. Empty when none does, and for a name with a
// folder in it.
std::wstring FindProgramIn(const std::wstring& name, const std::vector<std::string>& folders);

// The tool found where Windows puts it (ToolFolders): never in the program's own folder, the
// current folder or a folder of PATH. Empty when it is not there.
std::wstring FindToolProgram(const std::wstring& name);

} // namespace kestro
