#include "global/files_win.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "global/handles_win.h"
#include "global/winstr_win.h"

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

bool IsAbsolutePath(const std::wstring& path) {
    if (path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
        path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) {
        return true;
    }
    return path.size() >= 2 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/');
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring JoinPath(std::wstring folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') {
        folder.push_back(L'\\');
    }
    return folder + name;
}

template <class Getter> std::wstring SystemFolder(Getter get) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = get(buffer, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// One entry of PATH without its quotes and surrounding blanks.
std::wstring CleanPathEntry(std::wstring entry) {
    std::erase(entry, L'"');
    const std::size_t first = entry.find_first_not_of(L' ');
    const std::size_t last = entry.find_last_not_of(L' ');
    return first == std::wstring::npos ? std::wstring() : entry.substr(first, last - first + 1);
}

// The absolute folders of PATH: a relative entry (".", "bin") would be a search of the current
// directory after all.
std::vector<std::wstring> PathFolders() {
    std::vector<std::wstring> folders;
    const DWORD needed = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (needed == 0) {
        return folders;
    }
    std::wstring path(needed, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), needed));
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find(L';', start);
        if (end == std::wstring::npos) {
            end = path.size();
        }
        std::wstring entry = CleanPathEntry(path.substr(start, end - start));
        if (IsAbsolutePath(entry)) {
            folders.push_back(std::move(entry));
        }
        start = end + 1;
    }
    return folders;
}

// Where Microsoft Store puts the app execution aliases of this account's apps (winfr.exe among
// them): usually on PATH, but not always, and an elevated program may have been started with
// another environment. Only the account the program runs as is asked: another user's profile is
// not ours to guess.
std::wstring AppAliasFolder() {
    PWSTR localAppData = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &localAppData)) &&
        localAppData != nullptr && IsAbsolutePath(localAppData)) {
        folder = JoinPath(localAppData, L"Microsoft\\WindowsApps");
    }
    CoTaskMemFree(localAppData);
    return folder;
}

// The folders a bare program name is looked for in, in order.
std::vector<std::wstring> ProgramSearchFolders() {
    const std::wstring program = ProgramFile();
    const std::size_t folderLength = FolderLength(program);
    std::vector<std::wstring> folders;
    folders.push_back(folderLength > 0 ? program.substr(0, folderLength - 1) : std::wstring());
    folders.push_back(SystemFolder([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }));
    folders.push_back(SystemFolder([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); }));
    for (std::wstring& folder : PathFolders()) {
        folders.push_back(std::move(folder));
    }
    folders.push_back(AppAliasFolder());
    return folders;
}

} // namespace

std::string ExecutableFolder() {
    const std::wstring program = ProgramFile();
    return Narrow(program.substr(0, FolderLength(program)));
}

std::wstring FindToolProgram(const std::wstring& name) {
    if (name.empty()) {
        return {};
    }
    std::wstring file = name;
    const std::size_t slash = file.find_last_of(L"\\/");
    const std::size_t dot = file.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) {
        file += L".exe";
    }
    if (slash != std::wstring::npos) {
        // A name with a folder in it is taken only as a full path: a relative one would be
        // looked up from the current directory.
        return IsAbsolutePath(file) && IsFile(file) ? file : std::wstring();
    }
    for (const std::wstring& folder : ProgramSearchFolders()) {
        if (!folder.empty()) {
            std::wstring candidate = JoinPath(folder, file);
            if (IsFile(candidate)) {
                return candidate;
            }
        }
    }
    return {};
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
