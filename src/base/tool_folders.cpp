#include "base/tool_folders.h"

#include "base/paths.h"

namespace kestro {

std::vector<std::string> ToolFolders(const ToolFolderFacts& facts) {
    std::vector<std::string> folders;
    if (IsFullPath(facts.localAppData)) {
        folders.push_back(JoinFolder(facts.localAppData, "Microsoft\\WindowsApps"));
    }
    if (facts.redirectedSystemFolder) {
        if (IsFullPath(facts.windowsFolder)) {
            folders.push_back(JoinFolder(facts.windowsFolder, "Sysnative"));
        }
    } else if (IsFullPath(facts.systemFolder)) {
        folders.push_back(facts.systemFolder);
    }
    return folders;
}

} // namespace kestro
