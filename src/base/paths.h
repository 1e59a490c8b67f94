#pragma once
// Paths taken apart as text.
#include <string>
#include <string_view>

namespace kestro {

// The folder a file's path names ("C:\Work" for "C:\Work\a.txt"): the part before the last "\" or
// "/", with a backslash after a bare drive ("C:\" for "C:\a.txt"). Empty when the path names no
// folder.
std::string FolderOfFile(std::string_view path);

// A full path: "X:\..." or "\\server\share\..." (either separator). Anything else is looked up
// from the current folder.
bool IsFullPath(std::string_view path);

// folder and name with one backslash between them.
std::string JoinFolder(std::string folder, std::string_view name);

} // namespace kestro
