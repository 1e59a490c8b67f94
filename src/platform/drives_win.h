#pragma once
// Which drives exist and what is on them.
#include <cstdint>
#include <string>
#include <vector>

namespace kestro {

// Appends the root string of every logical drive ("C:\"), in the system's order.
void ListLogicalDrives(std::vector<std::string>& list);

// Label, serial number (8 upper-case hex digits), file-system name, total and
// total-free size texts in GB; warnings replaced or appended to when a query fails.
void GetDriveInfo(char letter, std::string& label, std::string& serial, std::string& fileSystem,
                  std::string& totalSize, std::string& freeSize, std::string& warnings);

// The file-system name of the drive ("NTFS", "FAT32" ...), empty when it cannot be read.
std::string GetFileSystemName(char letter);

// What the source list needs of one drive, including the byte counts behind the size texts.
struct DriveInfo {
    std::string label;
    std::string serial;
    std::string fileSystem;
    std::uint64_t totalBytes = 0;
    std::uint64_t freeBytes = 0;
    std::string totalSize;
    std::string freeSize;
    std::string warnings;
};
DriveInfo QueryDrive(char letter);

// The source list's view of the system; tests replace it.
class DriveSource {
public:
    virtual ~DriveSource() = default;
    virtual std::vector<std::string> LogicalDrives() = 0;
    virtual DriveInfo Query(char letter) = 0;
};

class SystemDrives final : public DriveSource {
public:
    std::vector<std::string> LogicalDrives() override;
    DriveInfo Query(char letter) override { return QueryDrive(letter); }
};

} // namespace kestro
