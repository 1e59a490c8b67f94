#include "global/files_win.h"

#include <windows.h>

#include "global/handles_win.h"
#include "global/winstr_win.h"

namespace kestro {

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ExecutableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const auto slash = buffer.find_last_of(L"\\/");
    return Narrow(slash == std::wstring::npos ? std::wstring() : buffer.substr(0, slash + 1));
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
    UniqueHandle dir(CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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
