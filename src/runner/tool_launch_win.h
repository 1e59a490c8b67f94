#pragma once
// Starting the tool: what is asked of the system, the start-up record without a console window,
// the handles the tool may inherit, and the job that ties it to the program.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles_win.h"

namespace kestro {

// What the runner asks of the system to start the tool: by default the system's own calls. Tests
// derive from it to see what is asked and to refuse what Windows may refuse.
class ToolLauncher {
public:
    virtual ~ToolLauncher() = default;
    // CreateProcessW with that program file (a full path), command line, creation flags and start-up
    // record; the last error tells why when it fails.
    virtual BOOL StartProcess(const std::wstring& program, std::wstring& commandLine, DWORD creationFlags,
                              STARTUPINFOEXW& startup, PROCESS_INFORMATION& info);
    // AssignProcessToJobObject.
    virtual BOOL AssignToJob(HANDLE job, HANDLE process);
};

ToolLauncher& SystemToolLauncher();

// The handles a child may inherit, as a start-up attribute: only the ones named, whatever else of
// the program's happens to be inheritable at that moment.
class InheritedHandles {
public:
    explicit InheritedHandles(HANDLE handle);
    ~InheritedHandles();
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    // Null when the system could not make the list: the pipe's write end is then the only handle
    // of the program's that is inheritable while the tool starts.
    LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }

private:
    HANDLE handles_[1];
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// The tool's start-up record: its console output into output, no window of any kind.
STARTUPINFOEXW ToolStartup(HANDLE output, const InheritedHandles& inherited);

// A job that ends every process in it when its last handle closes. Empty when the system refuses
// one; error then tells why.
UniqueHandle MakeToolJob(DWORD& error);

// An error number that says something went wrong even where the system left the last error unset.
DWORD FailureCode(DWORD error);

} // namespace kestro
