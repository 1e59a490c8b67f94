#include "platform/files_win.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "base/paths.h"
#include "platform/handles_win.h"
#include "platform/winstr_win.h"
#include "platform/optional_api_win.h"

namespace kestro {

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// The running program's file; empty when the system cannot tell.
std::wstring ProgramFile() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The length of the folder part of a path, its last separator included; 0 when it has none.
std::size_t FolderLength(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

template <class Getter> std::string SystemFolder(Getter get) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = get(buffer, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? Narrow(std::wstring_view(buffer, length)) : std::string();
}

} // namespace

std::string ExecutableFolder() {
    const std::wstring program = ProgramFile();
    return Narrow(program.substr(0, FolderLength(program)));
}

ToolFolderFacts SystemToolFolderFacts() {
    ToolFolderFacts facts;
    PWSTR localAppData = nullptr;
    const auto knownFolder = ShellApi().getKnownFolderPath;
    if (knownFolder != nullptr &&
        SUCCEEDED(knownFolder(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &localAppData)) &&
        localAppData != nullptr) {
        facts.localAppData = Narrow(localAppData);
    }
    FreeComMemory(localAppData);
    // GetWindowsDirectory may name a folder of the user's own on a terminal server.
    facts.windowsFolder = SystemFolder([](wchar_t* b, UINT n) { return GetSystemWindowsDirectoryW(b, n); });
    facts.systemFolder = SystemFolder([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); });
    BOOL wow64 = FALSE;
    facts.redirectedSystemFolder = IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
    return facts;
}

std::wstring FindProgramIn(const std::wstring& name, const std::vector<std::string>& folders) {
    // Only a bare file name: one with a folder in it would be looked up elsewhere.
    if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos || name == L"." || name == L"..") {
        return {};
    }
    std::wstring file = name;
    if (file.find(L'.') == std::wstring::npos) {
        file += L".exe";
    }
    for (const std::string& folder : folders) {
        if (IsFullPath(folder)) {
            std::wstring candidate = Widen(JoinFolder(folder, Narrow(file)));
            if (IsFile(candidate)) {
                return candidate;
            }
        }
    }
    return {};
}

std::wstring FindToolProgram(const std::wstring& name) {
    return FindProgramIn(name, ToolFolders(SystemToolFolderFacts()));
}

namespace {

std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return {};
    }
    std::wstring full(needed, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (n == 0 || n >= needed) {
        return {};
    }
    full.resize(n);
    return full;
}

std::wstring VolumeOfOpenedDirectory(const std::wstring& full) {
    UniqueHandle dir(CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!dir) {
        return {};
    }
    std::wstring buffer(1024, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(dir.Get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_GUID);
    if (n == 0 || n >= buffer.size()) {
        return {};
    }
    buffer.resize(n);
    // "\\?\Volume{...}\folder\..." -> "\\?\Volume{...}\"
    const std::wstring prefix = L"\\\\?\\Volume{";
    if (buffer.compare(0, prefix.size(), prefix) != 0) {
        return {};
    }
    const auto close = buffer.find(L"}\\", prefix.size());
    if (close == std::wstring::npos) {
        return {};
    }
    return buffer.substr(0, close + 2);
}

} // namespace

std::optional<std::uint32_t> VolumeSerialNumber(const std::string& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    UniqueHandle dir(CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!dir || !GetFileInformationByHandle(dir.Get(), &information)) {
        return std::nullopt;
    }
    return information.dwVolumeSerialNumber;
}

std::string VolumeIdentity(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::wstring full = FullPath(Widen(path));
    if (full.empty()) {
        return {};
    }
    std::wstring volume = VolumeOfOpenedDirectory(full);
    if (volume.empty()) {
        // The mount point that holds the path, then its volume name.
        std::wstring mount(full.size() + 2, L'\0');
        if (GetVolumePathNameW(full.c_str(), mount.data(), static_cast<DWORD>(mount.size()))) {
            mount.resize(wcslen(mount.c_str()));
            wchar_t name[64] = {};
            if (GetVolumeNameForVolumeMountPointW(mount.c_str(), name, static_cast<DWORD>(std::size(name)))) {
                volume = name;
            }
        }
    }
    // Volume GUID paths differ only in letter case at most; compare them as one form.
    CharUpperBuffW(volume.data(), static_cast<DWORD>(volume.size()));
    return Narrow(volume);
}

} // namespace kestro
