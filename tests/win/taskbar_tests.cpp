// The taskbar button's progress: the system's implementation against a fake ITaskbarList3 (Wine
// has no taskbar that shows anything), and the application window's part in it.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/taskbar_win.h"
#include "ui/application_win.h"

namespace kestro {
namespace {

using CallList = std::vector<std::string>;

// What the fake taskbar objects were told, all of them into one log.
struct TaskbarLog {
    std::vector<std::string> calls;
    int created = 0;
    int alive = 0;
    HRESULT createResult = S_OK;
    HRESULT initResult = S_OK;
};

std::string StateName(TBPFLAG state) {
    switch (state) {
    case TBPF_NOPROGRESS:
        return "none";
    case TBPF_INDETERMINATE:
        return "indeterminate";
    case TBPF_NORMAL:
        return "normal";
    case TBPF_ERROR:
        return "error";
    case TBPF_PAUSED:
        return "paused";
    }
    return "?";
}

// COM interfaces have no virtual destructor: their objects free themselves in Release.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class FakeTaskbarList final : public ITaskbarList3 {
public:
    FakeTaskbarList(TaskbarLog& log, HWND expected) : log_(log), expected_(expected) { ++log_.alive; }
    ~FakeTaskbarList() { --log_.alive; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_ITaskbarList || riid == IID_ITaskbarList2 ||
            riid == IID_ITaskbarList3) {
            *object = static_cast<ITaskbarList3*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE HrInit() override {
        log_.calls.push_back("init");
        return log_.initResult;
    }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND hwnd, ULONGLONG done, ULONGLONG total) override {
        log_.calls.push_back(Window(hwnd) + "value " + std::to_string(done) + "/" + std::to_string(total));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND hwnd, TBPFLAG state) override {
        log_.calls.push_back(Window(hwnd) + StateName(state));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return Unexpected("AddTab"); }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return Unexpected("DeleteTab"); }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return Unexpected("ActivateTab"); }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return Unexpected("SetActiveAlt"); }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, BOOL) override { return Unexpected("MarkFullscreenWindow"); }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return Unexpected("RegisterTab"); }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return Unexpected("UnregisterTab"); }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return Unexpected("SetTabOrder"); }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return Unexpected("SetTabActive"); }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return Unexpected("ThumbBarAddButtons");
    }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return Unexpected("ThumbBarUpdateButtons");
    }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override {
        return Unexpected("ThumbBarSetImageList");
    }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return Unexpected("SetOverlayIcon"); }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return Unexpected("SetThumbnailTooltip"); }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return Unexpected("SetThumbnailClip"); }

private:
    std::string Window(HWND hwnd) const { return hwnd == expected_ ? "" : "(other window) "; }
    HRESULT Unexpected(const char* name) {
        log_.calls.push_back(std::string("unexpected ") + name);
        return E_NOTIMPL;
    }

    TaskbarLog& log_;
    HWND expected_;
    ULONG references_ = 1;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

class SystemTaskbarTest : public ::testing::Test {
protected:
    SystemTaskbarTest() {
        window = CreateWindowExW(0, L"STATIC", L"button", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        taskbar = std::make_unique<SystemTaskbar>([this](ITaskbarList3** out) {
            ++log.created;
            if (FAILED(log.createResult)) {
                *out = nullptr;
                return log.createResult;
            }
            *out = new FakeTaskbarList(log, window);
            return S_OK;
        });
        taskbar->Attach(window);
    }
    ~SystemTaskbarTest() override {
        taskbar.reset();
        DestroyWindow(window);
    }

    // The calls logged since the last look.
    std::vector<std::string> Calls() {
        std::vector<std::string> calls;
        calls.swap(log.calls);
        return calls;
    }

    HWND window = nullptr;
    TaskbarLog log;
    std::unique_ptr<SystemTaskbar> taskbar;
};

TEST_F(SystemTaskbarTest, TheRunSoFarIsShownWhenAButtonAppears) {
    taskbar->SetState(TBPF_NORMAL);
    taskbar->SetValue(250, 1000);
    taskbar->SetState(TBPF_ERROR);
    EXPECT_EQ(log.created, 0) << "nothing is made before the button exists";

    taskbar->ButtonCreated();
    // The value first: it would turn an error state back to normal if it came second.
    EXPECT_EQ(Calls(), (CallList{"init", "value 250/1000", "error"}));
    taskbar->SetState(TBPF_NORMAL);
    taskbar->SetValue(400, 1000);
    Calls();

    // Explorer restarted: the old object belongs to a process that is gone.
    taskbar->ButtonCreated();
    EXPECT_EQ(log.created, 2);
    EXPECT_EQ(log.alive, 1);
    EXPECT_EQ(Calls(), (CallList{"init", "value 400/1000", "normal"}));
}

TEST_F(SystemTaskbarTest, TheObjectLivesOnlyWhileThereIsProgressToShow) {
    // Held past CoUninitialize at the program's end, its release would run unloaded code.
    taskbar->ButtonCreated();
    EXPECT_EQ(log.created, 0) << "no run, no object";
    for (int run = 1; run <= 2; ++run) {
        taskbar->SetState(TBPF_NORMAL);
        taskbar->SetValue(700, 1000);
        EXPECT_EQ(log.alive, 1);
        taskbar->SetState(TBPF_NOPROGRESS);
        EXPECT_EQ(log.alive, 0) << "run " << run;
    }
    EXPECT_EQ(Calls(),
              (CallList{"init", "normal", "value 700/1000", "none", "init", "normal", "value 700/1000", "none"}));

    // Nothing of an ended run comes back with a new button; a value alone starts progress again,
    // as it does on the real taskbar.
    taskbar->ButtonCreated();
    EXPECT_EQ(log.alive, 0);
    taskbar->SetValue(10, 1000);
    EXPECT_EQ(Calls(), (CallList{"init", "value 10/1000"}));
}

TEST_F(SystemTaskbarTest, WhereNoTaskbarObjectCanBeHadTheCallsDoNothingAndItIsNotAskedForAgain) {
    struct Case {
        HRESULT create;
        HRESULT init;
    };
    for (const Case c : {Case{E_NOINTERFACE, S_OK}, Case{S_OK, E_FAIL}}) {
        log = TaskbarLog{};
        log.createResult = c.create;
        log.initResult = c.init;
        taskbar->ButtonCreated();
        taskbar->SetState(TBPF_NORMAL);
        for (int i = 1; i <= 5; ++i) {
            taskbar->SetValue(static_cast<ULONGLONG>(i * 100), 1000);
        }
        taskbar->SetState(TBPF_ERROR);
        EXPECT_FALSE(taskbar->Ready());
        EXPECT_EQ(log.created, 1);
        EXPECT_EQ(log.alive, 0);
        EXPECT_EQ(Calls(), c.init == S_OK ? CallList{} : CallList{"init"});

        // A new button (a new Explorer) may well have one.
        log.createResult = S_OK;
        log.initResult = S_OK;
        taskbar->ButtonCreated();
        EXPECT_TRUE(taskbar->Ready());
        EXPECT_EQ(Calls(), (CallList{"init", "value 500/1000", "error"}));
        taskbar->SetState(TBPF_NOPROGRESS);
    }
}

// The application window is the one with the taskbar button: Explorer's message reaches the
// system taskbar through it, and the progress goes to it.
TEST(ApplicationTaskbar, ExplorersMessageToTheApplicationWindowOpensTheWayToTheTaskbar) {
    Application& app = Application::Get();
    ASSERT_NE(app.Handle(), nullptr);
    auto* system = dynamic_cast<SystemTaskbar*>(&app.Taskbar());
    ASSERT_NE(system, nullptr) << "the system's taskbar is the default";
    EXPECT_EQ(system->Window(), app.Handle());

    const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    ASSERT_NE(message, 0u);
    EXPECT_EQ(TaskbarButtonCreatedMessage(), message);
    EXPECT_FALSE(system->ButtonExists());
    EXPECT_EQ(SendMessageW(app.Handle(), message, 0, 0), 0);
    EXPECT_TRUE(system->ButtonExists());

    // Wine's taskbar object takes the calls; the end of a run must leave nothing held.
    system->SetState(TBPF_NORMAL);
    EXPECT_TRUE(system->Ready()) << "CLSID_TaskbarList with ITaskbarList3 and HrInit";
    system->SetValue(500, 1000);
    system->SetState(TBPF_NOPROGRESS);
    EXPECT_FALSE(system->Ready());
}

} // namespace
} // namespace kestro
