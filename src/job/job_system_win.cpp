// The network headers first: they must come before <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
#include <lm.h>
#include <winnetwk.h>

#include "job/job_system_win.h"

#include <cstdio>
#include <vector>

#include "platform/drives_win.h"
#include "platform/files_win.h"
#include "platform/optional_api_win.h"
#include "platform/winstr_win.h"

namespace kestro {

namespace {

void AddComputerName(COMPUTER_NAME_FORMAT format, std::vector<std::string>& names) {
    DWORD size = 0;
    GetComputerNameExW(format, nullptr, &size);
    if (size == 0) {
        return;
    }
    std::wstring name(size, L'\0');
    if (GetComputerNameExW(format, name.data(), &size) && size > 0) {
        name.resize(size);
        names.push_back(Narrow(name));
    }
}

// This computer's own unicast addresses, written out in full.
void AddOwnAddresses(std::vector<std::string>& names) {
    const GetAdaptersAddressesFunction getAdaptersAddresses = GetAdaptersAddressesFn();
    if (getAdaptersAddresses == nullptr) {
        return;
    }
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(size, 0);
        result = getAdaptersAddresses(AF_UNSPEC, kFlags, nullptr,
                                      reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()), &size);
    }
    if (result != NO_ERROR) {
        return;
    }
    for (auto* adapter = reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            char text[64] = {};
            if (address != nullptr && address->sa_family == AF_INET) {
                const auto* bytes =
                    reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
                (void)std::snprintf(text, sizeof(text), "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
            } else if (address != nullptr && address->sa_family == AF_INET6) {
                const auto* bytes =
                    reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
                (void)std::snprintf(text, sizeof(text), "%x:%x:%x:%x:%x:%x:%x:%x", bytes[0] << 8 | bytes[1],
                                    bytes[2] << 8 | bytes[3], bytes[4] << 8 | bytes[5], bytes[6] << 8 | bytes[7],
                                    bytes[8] << 8 | bytes[9], bytes[10] << 8 | bytes[11], bytes[12] << 8 | bytes[13],
                                    bytes[14] << 8 | bytes[15]);
            }
            if (text[0] != '\0') {
                names.emplace_back(text);
            }
        }
    }
}

} // namespace

bool SystemJobSystem::IsDirectory(const std::string& path) {
    return DirectoryExists(path);
}

std::string SystemJobSystem::FileSystemName(char driveLetter) {
    return GetFileSystemName(driveLetter);
}

std::string SystemJobSystem::VolumeOf(const std::string& path) {
    return VolumeIdentity(path);
}

std::vector<std::string> SystemJobSystem::ComputerNames() {
    std::vector<std::string> names;
    for (const COMPUTER_NAME_FORMAT format :
         {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified, ComputerNamePhysicalNetBIOS,
          ComputerNamePhysicalDnsHostname, ComputerNamePhysicalDnsFullyQualified}) {
        AddComputerName(format, names);
    }
    AddOwnAddresses(names);
    return names;
}

std::string SystemJobSystem::SharedFolder(const std::string& shareName) {
    const NetShareFunctions& net = NetShare();
    if (!net.Available() || shareName.empty()) {
        return {};
    }
    std::wstring name = Widen(shareName);
    LPBYTE buffer = nullptr;
    std::string folder;
    // Level 2 holds the path; this program runs with the rights it needs to read it.
    if (net.getInfo(nullptr, name.data(), 2, &buffer) == NERR_Success && buffer != nullptr) {
        const auto* info = reinterpret_cast<const SHARE_INFO_2*>(buffer);
        if (info->shi2_path != nullptr) {
            folder = Narrow(info->shi2_path);
        }
    }
    if (buffer != nullptr) {
        net.freeBuffer(buffer);
    }
    return folder;
}

std::string SystemJobSystem::MappedDrive(char driveLetter) {
    const GetConnectionFunction getConnection = WNetGetConnectionFn();
    if (getConnection == nullptr) {
        return {};
    }
    const wchar_t local[3] = {static_cast<wchar_t>(driveLetter), L':', L'\0'};
    DWORD length = MAX_PATH;
    std::wstring remote(length, L'\0');
    DWORD result = getConnection(local, remote.data(), &length);
    if (result == ERROR_MORE_DATA) {
        remote.assign(length, L'\0');
        result = getConnection(local, remote.data(), &length);
    }
    if (result != NO_ERROR) {
        return {};
    }
    remote.resize(wcslen(remote.c_str()));
    return Narrow(remote);
}

std::optional<std::uint32_t> SystemJobSystem::VolumeSerial(const std::string& path) {
    return VolumeSerialNumber(path);
}

} // namespace kestro
