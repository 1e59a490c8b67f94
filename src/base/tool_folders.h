#pragma once
// Where Windows puts Windows File Recovery, and nowhere else. The program runs elevated, so the
// tool is never looked for in its own folder, the current folder or the folders of PATH: a
// winfr.exe left in a Downloads folder, or in a folder a user may write to, would run with
// administrator rights.
#include <string>
#include <vector>

namespace kestro {

// What the system says about its folders, gathered at the Win32 boundary (tests make up their
// own).
struct ToolFolderFacts {
    std::string localAppData;  // this account's local application data; empty when unknown
    std::string windowsFolder; // the system's Windows folder (not a per-user one)
    std::string systemFolder;  // the system folder as this process names it (System32)
    // A 32-bit program on 64-bit Windows: its System32 is redirected to SysWOW64, which holds no
    // winfr; the real system folder is reached as Windows\Sysnative.
    bool redirectedSystemFolder = false;
};

// The folders to look in, in order: this account's app execution aliases (Microsoft Store installs
// winfr.exe there), then the system folder. A folder that is not a full path is left out: a
// relative one would be looked up from the current folder after all.
std::vector<std::string> ToolFolders(const ToolFolderFacts& facts);

} // namespace kestro
