#pragma once
// TfrmAbout: the About dialog.
#include <memory>

#include "global/window_win.h"

namespace kestro {

class TfrmAbout : public Form {
public:
    explicit TfrmAbout(HWND owner);
    ~TfrmAbout() override;

    struct Controls;

protected:
    void FormShow() override;

private:
    std::unique_ptr<Controls> controls_;
};

} // namespace kestro
