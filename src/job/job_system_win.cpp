#include "job/job_system_win.h"

#include "global/drives_win.h"
#include "global/files_win.h"

namespace kestro {

bool SystemJobSystem::IsDirectory(const std::string& path) { return DirectoryExists(path); }

std::string SystemJobSystem::FileSystemName(char driveLetter) { return GetFileSystemName(driveLetter); }

std::string SystemJobSystem::VolumeOf(const std::string& path) { return VolumeIdentity(path); }

} // namespace kestro
