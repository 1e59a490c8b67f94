#pragma once
// TfrmDownload: the modal Scanning dialog in which a recovery run lives.
#include <cstdint>
#include <memory>
#include <string>

#include "global/window_win.h"

namespace kestro {

class TDownloadProcess;
struct TProcessInfo;

// What the dialog reads from the main window.
class ScanContext {
public:
    virtual ~ScanContext() = default;
    virtual std::string DestinationText() const = 0; // text of eOutputFolder
    virtual int RecoveryModeIndex() const = 0;       // selected index of cbRecoveryMode (0 Quick Scan)
};

class TfrmDownload : public Form {
public:
    TfrmDownload(HWND owner, ScanContext& context, TDownloadProcess& runner);
    ~TfrmDownload() override;

    std::string Arguments;

    // The Stop button; also what the events that end a run do.
    void bStopClick();

    // The controls, for tests and outside readers.
    HWND ProcessHint() const;
    HWND ProgressBar() const;
    HWND StopButton() const;

    std::int32_t FilesFound() const noexcept { return FFilesFound; }
    const std::string& SavedFolder() const noexcept { return FSavedFolder; }

    struct Controls;

protected:
    void FormShow() override;
    void FormClose() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ProcessInfo(const TProcessInfo& info);
    void ShowBox(const std::string& text, UINT icon);
    std::string CompletedMessage() const;
    void DrainQueuedEvents() noexcept;

    std::unique_ptr<Controls> controls_;
    ScanContext& context_;
    TDownloadProcess& runner_;
    HWND owner_;
    std::int32_t FFilesFound = 0;
    std::string FSavedFolder;
};

} // namespace kestro
