#pragma once
// Questions about files and volumes asked at the Win32 boundary.
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

} // namespace kestro
