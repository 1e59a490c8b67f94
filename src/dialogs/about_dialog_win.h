#pragma once
// AboutDialog: the About dialog.
#include <memory>

#include "ui/form_win.h"

namespace kestro {

class AboutDialog : public Form {
public:
    explicit AboutDialog(HWND owner);
    ~AboutDialog() override;

    struct Controls;

protected:
    void OnShow() override;

private:
    void DescribeForScreenReaders();

    std::unique_ptr<Controls> controls_;
};

} // namespace kestro
