#include "app/settings_win.h"

#include <shlobj.h>

#include <memory>
#include <optional>
#include <stdexcept>

#include "base/paths.h"
#include "base/settings_values.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/optional_api_win.h"
#include "platform/winstr_win.h"
#include "ui/application_win.h"

namespace kestro {

namespace {

constexpr wchar_t kSection[] = L"Options";

struct CoTaskMemDeleter {
    void operator()(void* p) const noexcept { FreeComMemory(p); }
};

// The application-data folder as the registry keeps it for the shell (User Shell Folders, with
// its environment variables expanded): reading it needs no shell32, which most starts of the
// program have no other use for. Empty when it is not there as a full path.
std::wstring RegisteredAppDataFolder() {
    wchar_t raw[MAX_PATH] = {};
    DWORD size = sizeof(raw);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                     L"AppData", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, raw,
                     &size) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t expanded[MAX_PATH] = {};
    const DWORD length = ExpandEnvironmentStringsW(raw, expanded, MAX_PATH);
    if (length == 0 || length > MAX_PATH || !IsFullPath(Narrow(expanded))) {
        return {};
    }
    return expanded;
}

// The application-data folder as the shell tells it (CSIDL_APPDATA).
std::wstring ShellAppDataFolder() {
    const ShellFunctions& shell = ShellApi();
    LPITEMIDLIST rawList = nullptr;
    if (shell.getSpecialFolderLocation == nullptr || shell.getPathFromIdList == nullptr ||
        FAILED(shell.getSpecialFolderLocation(Application::Get().Handle(), CSIDL_APPDATA, &rawList)) ||
        rawList == nullptr) {
        return {};
    }
    const std::unique_ptr<ITEMIDLIST, CoTaskMemDeleter> list(rawList);
    wchar_t path[MAX_PATH] = {};
    if (!shell.getPathFromIdList(list.get(), path) || path[0] == L'\0') {
        return {};
    }
    return path;
}

// folder and every missing folder above it; true when folder is there afterwards.
bool CreateFolderTree(const std::wstring& folder) {
    if (folder.empty() || DirectoryExists(Narrow(folder))) {
        return !folder.empty();
    }
    std::wstring parent = folder;
    while (!parent.empty() && (parent.back() == L'\\' || parent.back() == L'/')) {
        parent.pop_back();
    }
    const std::size_t separator = parent.find_last_of(L"\\/");
    if (separator != std::wstring::npos && separator > 2) {
        CreateFolderTree(parent.substr(0, separator));
    }
    return CreateDirectoryW(folder.c_str(), nullptr) != FALSE || DirectoryExists(Narrow(folder));
}

struct FileContent {
    SettingsFileKind kind;
    std::string bytes;
};

// What the file holds, if it can be opened at all; nothing for a missing, locked
// or unreadable file (error tells which). A file over the limit is not read.
std::optional<FileContent> ReadFileContent(const std::wstring& file, DWORD& error) {
    UniqueHandle handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        error = GetLastError();
        return std::nullopt;
    }
    error = ERROR_SUCCESS;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.Get(), &size) || size.QuadPart < 0) {
        error = GetLastError();
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > kMaxSettingsFileSize) {
        return FileContent{SettingsFileKind::Invalid, {}};
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(handle.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read == 0)) {
        error = GetLastError();
        return std::nullopt;
    }
    bytes.resize(read);
    const SettingsFileKind kind = ClassifySettingsFile(bytes);
    return FileContent{kind, std::move(bytes)};
}

bool WriteWholeFile(const std::wstring& file, DWORD disposition, const std::wstring& text) {
    UniqueHandle handle(
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        return false;
    }
    std::string bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    DWORD written = 0;
    return WriteFile(handle.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Puts a UTF-16LE file with the given text in place of the existing one. A
// failure leaves the old file as it was: the writes that follow then decide.
void ReplaceWithUnicode(const std::wstring& file, const std::wstring& text) {
    const std::wstring temporary = file + L".new";
    if (!WriteWholeFile(temporary, CREATE_ALWAYS, text) ||
        !MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
    }
}

std::wstring Decode(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), needed);
    return text;
}

// The profile functions write a new file in the system code page, which cannot
// hold a path such as E:\Rettung\Фото on most systems; they keep Unicode only in
// a file that already is UTF-16LE. So the file is made one before the first write.
void PrepareForUnicode(const std::wstring& file) {
    DWORD error = ERROR_SUCCESS;
    const std::optional<FileContent> content = ReadFileContent(file, error);
    if (!content) {
        if (error == ERROR_FILE_NOT_FOUND) {
            // CREATE_NEW: another instance closing at the same moment keeps its file.
            WriteWholeFile(file, CREATE_NEW, L"[Options]\r\n");
        }
        return;
    }
    switch (content->kind) {
    case SettingsFileKind::Utf16Le:
        return;
    case SettingsFileKind::Ansi:
        // Decoded as the profile functions themselves read such a file.
        ReplaceWithUnicode(file, Decode(CP_ACP, content->bytes));
        return;
    case SettingsFileKind::Utf8Bom:
        ReplaceWithUnicode(file, Decode(CP_UTF8, std::string_view(content->bytes).substr(3)));
        return;
    case SettingsFileKind::Invalid:
        // Nothing in it could be read; left in place it would be read as nothing
        // forever, so the save starts a fresh file.
        ReplaceWithUnicode(file, L"[Options]\r\n");
        return;
    }
}

std::string ReadText(const std::wstring& file, const wchar_t* key) {
    std::wstring buffer(kProfileTextBuffer, L'\0');
    DWORD n =
        GetPrivateProfileStringW(kSection, key, L"", buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    // A value cut by the buffer may end in the first half of a surrogate pair,
    // which would turn into a replacement character.
    if (n == kProfileTextBuffer - 1 && IS_HIGH_SURROGATE(buffer[n - 1])) {
        --n;
    }
    return Narrow(std::wstring_view(buffer.data(), n));
}

} // namespace

std::string GetAppDataFolder() {
    std::wstring path = RegisteredAppDataFolder();
    if (path.empty()) {
        path = ShellAppDataFolder();
    }
    if (path.empty()) {
        return {};
    }
    std::string folder = Narrow(path);
    if (folder.back() != '\\') {
        folder.push_back('\\');
    }
    return folder;
}

std::string SettingsFile() {
    return SettingsFile(GetAppDataFolder());
}

std::string SettingsFile(const std::string& appDataFolder) {
    if (!appDataFolder.empty()) {
        std::wstring folder = Widen(appDataFolder);
        if (folder.back() != L'\\') {
            folder.push_back(L'\\');
        }
        folder += L"Kestro\\Refindor\\";
        CreateFolderTree(folder);
        // Whatever the creation reported (a half-created tree, a file in the
        // way), only a folder that is there now will do.
        if (DirectoryExists(Narrow(folder))) {
            return Narrow(folder) + "settings.ini";
        }
    }
    return ExecutableFolder() + "settings.ini";
}

void ReadSettings(const std::string& file, RememberedChoices& fields) {
    fields = RememberedChoices{};
    const std::wstring path = Widen(file);
    DWORD error = ERROR_SUCCESS;
    const std::optional<FileContent> content = ReadFileContent(path, error);
    if (!content || content->kind == SettingsFileKind::Invalid) {
        return;
    }
    fields.destination = ReadText(path, L"OutputDirectory");
    fields.sourceFolder = ReadText(path, L"SourcePath");
    fields.useSourceFolder = ProfileBool(ReadText(path, L"IsUseSourcePath"), false);
    fields.recoveryMode = ProfileInteger(ReadText(path, L"RecoveryMode"), 0);
    fields.sourceDrive = ProfileInteger(ReadText(path, L"SourceDrive"), 0);
    fields.language = ReadText(path, L"Language");
}

void WriteSettingsKey(const std::string& file, const std::string& key, const std::string& value) {
    if (!WritePrivateProfileStringW(kSection, Widen(key).c_str(), Widen(value).c_str(), Widen(file).c_str())) {
        const DWORD error = GetLastError();
        throw std::runtime_error("Cannot write " + key + " to " + file + ": system error " + std::to_string(error));
    }
}

void WriteSettings(const std::string& file, const ChoicesAtClose& now, RememberedChoices& fields) {
    PrepareForUnicode(Widen(file));
    WriteSettings([&file](const std::string& key, const std::string& value) { WriteSettingsKey(file, key, value); },
                  now, fields);
}

void WriteSettings(const SettingsKeyWriter& writeKey, const ChoicesAtClose& now, RememberedChoices& fields) {
    // A destination that is not a folder (yet) is not remembered: the key keeps
    // the folder of an earlier run.
    if (DirectoryExists(now.destinationText)) {
        fields.destination = now.destinationText;
        writeKey("OutputDirectory", fields.destination);
    }
    fields.sourceFolder = now.sourcePathText;
    writeKey("SourcePath", fields.sourceFolder);
    writeKey("IsUseSourcePath", ProfileBoolText(now.useSourcePath));
    writeKey("RecoveryMode", ProfileIntegerText(now.recoveryModeIndex));
    writeKey("SourceDrive", ProfileIntegerText(now.sourceDriveIndex));
    // Written back only where the user set it, so that a file of another language keeps it
    // even when saving had to start the file afresh.
    if (!fields.language.empty()) {
        writeKey("Language", fields.language);
    }
}

} // namespace kestro
