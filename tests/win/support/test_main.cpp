// Entry point of every Windows test program: the same start-up as the
// program itself (COM, common controls), then GoogleTest.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/winstr_win.h"
#include "ui/application_win.h"

int wmain(int argc, wchar_t** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);

    kestro::Application::Get().Initialize(GetModuleHandleW(nullptr));
    kestro::Application::Get().SetTitle("Kestro Refindor");

    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(kestro::Narrow(argv[i]));
    }
    std::vector<char*> argp;
    for (auto& a : args) {
        argp.push_back(a.data());
    }
    int count = argc;
    testing::InitGoogleMock(&count, argp.data());
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
