#include "platform/drives_win.h"

#include <windows.h>

#include <cstdio>

#include "platform/drive_list.h"
#include "platform/locale_win.h"
#include "platform/winstr_win.h"

namespace kestro {

void ListLogicalDrives(std::vector<std::string>& list) {
    // Four characters per root plus the final zero: 20 covers four drives, and
    // the call says how much more it needs.
    std::wstring buffer(20, L'\0');
    DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length > buffer.size()) {
        buffer.assign(length + 1, L'\0');
        length = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (length == 0 || length > buffer.size()) {
        return;
    }
    for (const wchar_t* root = buffer.c_str(); *root != L'\0'; root += wcslen(root) + 1) {
        list.push_back(Narrow(root));
    }
}

DriveInfo QueryDrive(char letter) {
    DriveInfo info;
    // The queries name the root with a forward slash, as the volume functions accept.
    const std::wstring root = Widen(std::string(1, letter) + ":/");
    wchar_t label[MAX_PATH + 1] = {};
    wchar_t fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (!GetVolumeInformationW(root.c_str(), label, static_cast<DWORD>(std::size(label)), &serial, nullptr, nullptr,
                               fileSystem, static_cast<DWORD>(std::size(fileSystem)))) {
        info.warnings = "Volume information was not fully returned.\r\n";
        label[0] = L'\0';
        fileSystem[0] = L'\0';
        serial = 0;
    }
    // At most 32 characters of label and file-system name, as the volume record holds.
    info.label = Narrow(std::wstring(label).substr(0, 32));
    info.fileSystem = Narrow(std::wstring(fileSystem).substr(0, 32));
    char hex[9];
    (void)std::snprintf(hex, sizeof(hex), "%08lX", static_cast<unsigned long>(serial));
    info.serial = hex;
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER totalFree{};
    if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, &totalFree)) {
        info.warnings += "Failed to obtain volume space size.";
        total.QuadPart = 0;
        totalFree.QuadPart = 0;
    }
    info.totalBytes = total.QuadPart;
    info.freeBytes = totalFree.QuadPart;
    const std::string separator = LocaleDecimalSeparator();
    info.totalSize = SizeText(info.totalBytes, separator);
    info.freeSize = SizeText(info.freeBytes, separator);
    return info;
}

void GetDriveInfo(char letter, std::string& label, std::string& serial, std::string& fileSystem,
                  std::string& totalSize, std::string& freeSize, std::string& warnings) {
    DriveInfo info = QueryDrive(letter);
    label = std::move(info.label);
    serial = std::move(info.serial);
    fileSystem = std::move(info.fileSystem);
    totalSize = std::move(info.totalSize);
    freeSize = std::move(info.freeSize);
    if (info.warnings.rfind("Volume", 0) == 0) {
        warnings = info.warnings;
    } else {
        warnings += info.warnings;
    }
}

std::string GetFileSystemName(char letter) {
    const std::wstring root = Widen(std::string(1, letter) + ":\\");
    wchar_t fileSystem[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                               static_cast<DWORD>(std::size(fileSystem)))) {
        return {};
    }
    return Narrow(fileSystem);
}

std::vector<std::string> SystemDrives::LogicalDrives() {
    std::vector<std::string> list;
    ListLogicalDrives(list);
    return list;
}

} // namespace kestro
