#pragma once
// Fakes for the services the windows use: message boxes, the shell, drives.
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "job/command.h"
#include "platform/drives_win.h"
#include "platform/services_win.h"
#include "ui/application_win.h"

namespace kestro::testing_win {

struct ShownBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT flags;
    UINT Icon() const { return flags & MB_ICONMASK; }
};

// Records every message box instead of showing it; answers OK.
class RecordingBoxes final : public MessageBoxes {
public:
    RecordingBoxes() { Application::Get().SetBoxes(this); }
    ~RecordingBoxes() override { Application::Get().SetBoxes(nullptr); }
    int Show(HWND owner, const std::string& text, const std::string& caption, UINT flags) override {
        boxes.push_back({owner, text, caption, flags});
        return answer;
    }
    std::vector<ShownBox> boxes;
    int answer = IDOK; // the button every box is answered with
};

struct ShellCall {
    HWND owner;
    std::string verb;
    std::string file;
};

class RecordingShell final : public ShellOpener {
public:
    RecordingShell() { Application::Get().SetShell(this); }
    ~RecordingShell() override { Application::Get().SetShell(nullptr); }
    void Open(HWND owner, const std::string& verb, const std::string& file) override {
        calls.push_back({owner, verb, file});
    }
    std::vector<ShellCall> calls;
};

struct FakeDrive {
    std::string root; // "C:\"
    std::string label;
    std::string fileSystem; // "" when unreadable
    unsigned long long totalBytes = 500ull << 30;
};

class FakeDrives final : public DriveSource {
public:
    std::vector<std::string> LogicalDrives() override {
        std::vector<std::string> roots;
        for (const auto& d : drives) {
            roots.push_back(d.root);
        }
        return roots;
    }
    DriveInfo Query(char letter) override {
        DriveInfo info;
        for (const auto& d : drives) {
            if (!d.root.empty() && d.root[0] == letter) {
                info.label = d.label;
                info.fileSystem = d.fileSystem;
                info.totalBytes = d.totalBytes;
            }
        }
        return info;
    }
    std::vector<FakeDrive> drives;
};

// The job checks' questions answered from tables: the directories that exist, the file systems by
// drive letter (defaultFileSystem for the other drives) and the volumes by path.
class FakeJobSystem final : public JobSystem {
public:
    bool IsDirectory(const std::string& path) override { return directories.count(path) != 0; }
    std::string FileSystemName(char letter) override {
        const auto it = fileSystems.find(letter);
        return it == fileSystems.end() ? defaultFileSystem : it->second;
    }
    std::string VolumeOf(const std::string& path) override {
        const auto it = volumes.find(path);
        return it == volumes.end() ? std::string() : it->second;
    }
    std::set<std::string> directories;
    std::map<char, std::string> fileSystems;
    std::string defaultFileSystem;
    std::map<std::string, std::string> volumes;
};

// Saves the client area of a window as a 24-bit BMP file.
bool SaveWindowBitmap(HWND window, const std::wstring& path);

} // namespace kestro::testing_win
