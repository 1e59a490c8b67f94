#include "runner/tool_launch_win.h"

namespace kestro {

InheritedHandles::InheritedHandles(HANDLE handle) : handles_{handle} {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) {
        return;
    }
    list_ = list;
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_, sizeof(handles_), nullptr,
                                   nullptr)) {
        DeleteProcThreadAttributeList(list_);
        list_ = nullptr;
    }
}

InheritedHandles::~InheritedHandles() {
    if (list_ != nullptr) {
        DeleteProcThreadAttributeList(list_);
    }
}

// A job that ends every process in it when its last handle closes: the program's handle is the
// only one (it is not inheritable), so the tool cannot outlive the program, however the program
// ends. Empty when the system refuses one (error tells why); the tool then runs without it.
UniqueHandle MakeToolJob(DWORD& error) {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        error = GetLastError();
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        error = GetLastError();
        job.Reset();
    }
    return job;
}

DWORD FailureCode(DWORD error) {
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// The tool's console output goes into the pipe. No show-window flag: the tool is started without a
// console window at all (CREATE_NO_WINDOW), because where Windows Terminal is the default terminal
// a hidden window is not honoured, and closing the terminal that appears would end the tool.
STARTUPINFOEXW ToolStartup(HANDLE output, const InheritedHandles& inherited) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nullptr;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    startup.lpAttributeList = inherited.List();
    if (startup.lpAttributeList == nullptr) {
        startup.StartupInfo.cb = sizeof(STARTUPINFOW);
    }
    return startup;
}

ToolLauncher& SystemToolLauncher() {
    static ToolLauncher launcher;
    return launcher;
}

BOOL ToolLauncher::StartProcess(const std::wstring& program, std::wstring& commandLine, DWORD creationFlags,
                                STARTUPINFOEXW& startup, PROCESS_INFORMATION& info) {
    // Only the handles the start-up record names are inherited (the pipe's write end).
    return CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, creationFlags, nullptr, nullptr,
                          &startup.StartupInfo, &info);
}

BOOL ToolLauncher::AssignToJob(HANDLE job, HANDLE process) {
    return AssignProcessToJobObject(job, process);
}

} // namespace kestro
