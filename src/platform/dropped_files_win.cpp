#include "platform/dropped_files_win.h"

#include "base/paths.h"
#include "platform/winstr_win.h"
#include "platform/optional_api_win.h"

namespace kestro {

namespace {

std::wstring FirstDroppedPath(HDROP drop) {
    const auto query = ShellApi().dragQueryFile;
    if (query == nullptr || query(drop, 0xFFFFFFFF, nullptr, 0) == 0) {
        return {};
    }
    const UINT length = query(drop, 0, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    query(drop, 0, path.data(), length + 1);
    path.resize(length);
    return path;
}

} // namespace

std::string DroppedFolder(HDROP drop) {
    const std::wstring path = FirstDroppedPath(drop);
    if (ShellApi().dragFinish != nullptr) {
        ShellApi().dragFinish(drop);
    }
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return {};
    }
    // A dropped file stands for the folder it is in.
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Narrow(path) : FolderOfFile(Narrow(path));
}

} // namespace kestro
