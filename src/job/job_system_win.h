#pragma once
// The job checks' questions answered by the running system.
#include "job/command.h"

namespace kestro {

class SystemJobSystem final : public JobSystem {
public:
    bool IsDirectory(const std::string& path) override;
    std::string FileSystemName(char driveLetter) override;
    std::string VolumeOf(const std::string& path) override;
    // GetComputerNameEx (NetBIOS and DNS names), GetAdaptersAddresses (own addresses).
    std::vector<std::string> ComputerNames() override;
    // NetShareGetInfo; netapi32 is loaded from the system folder when first needed.
    std::string SharedFolder(const std::string& shareName) override;
    // WNetGetConnection; mpr is loaded from the system folder when first needed.
    std::string MappedDrive(char driveLetter) override;
    // Read through the opened folder (GetFileInformationByHandle), which also works over the network.
    std::optional<std::uint32_t> VolumeSerial(const std::string& path) override;
};

} // namespace kestro
