#include "base/paths.h"

namespace kestro {

std::string FolderOfFile(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    if (slash == std::string_view::npos) {
        return {};
    }
    std::string folder(path.substr(0, slash));
    if (folder.size() == 2 && folder[1] == ':') {
        folder.push_back('\\');
    }
    return folder;
}

bool IsFullPath(std::string_view path) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    const bool letter = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (letter && path[1] == ':' && separator(path[2])) {
        return true;
    }
    return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

std::string JoinFolder(std::string folder, std::string_view name) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') {
        folder.push_back('\\');
    }
    folder.append(name);
    return folder;
}

} // namespace kestro
