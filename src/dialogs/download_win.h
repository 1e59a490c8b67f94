#pragma once
// TfrmDownload: the modal Scanning dialog in which a recovery run lives.
#include <string>

#include "global/window_win.h"

namespace kestro {

class TDownloadProcess;

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

    struct Controls;

private:
    std::unique_ptr<Controls> controls_;
};

} // namespace kestro
