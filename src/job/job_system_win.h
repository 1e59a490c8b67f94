#pragma once
// The job checks' questions answered by the running system.
#include "job/command.h"

namespace kestro {

class SystemJobSystem final : public JobSystem {
public:
    bool IsDirectory(const std::string& path) override;
    std::string FileSystemName(char driveLetter) override;
    std::string VolumeOf(const std::string& path) override;
};

} // namespace kestro
