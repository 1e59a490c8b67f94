#include "dialogs/about_dialog_win.h"

#include <oleacc.h>

#include "base/text.h"
#include "base/texts.h"
#include "platform/winstr_win.h"
#include "ui/application_win.h"
#include "ui/graphic_controls_win.h"
#include "resource_ids.h"

namespace kestro {

namespace {

constexpr int idProductName = 1001;
constexpr int idVersion = 1002;
constexpr int idCopyright = 1003;
constexpr int idEmail = 1004;
constexpr int idSeparator = 1005;

constexpr char kWebAddressText[] = "www.kestro-software.example";

} // namespace

struct AboutDialog::Controls {
    explicit Controls(AboutDialog& form) : banner(form), productIcon(form), webAddress(form) {}

    HWND owner = nullptr;
    Image banner;
    Image productIcon;
    HWND productName = nullptr;
    HWND versionText = nullptr;
    HWND copyrightText = nullptr;
    HWND emailText = nullptr;
    HWND separatorLine = nullptr;
    Label webAddress;
    HWND okButton = nullptr;
};

namespace {

// A plain label sized to its text, as an auto-sized label of the toolkit is.
HWND AddLabel(Form& form, int id, const std::string& text, int x, int y) {
    HWND label = form.AddControl(form, {.className = L"STATIC",
                                        .text = Widen(text),
                                        .style = WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                        .bounds = {x, y, 1, 1},
                                        .id = id});
    return label;
}

// As wide and high as its text, at every DPI.
void SizeToText(Form& form, HWND label) {
    form.FitToText(label, 0, true);
}

} // namespace

AboutDialog::AboutDialog(HWND owner) {
    CreateForm(L"KestroAboutDialog", owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, WS_EX_DLGMODALFRAME,
               Widen(LoadText(IDS_ABOUT_CAPTION)), 360, 237);
    // A dialog frame carries no icon; the framework's classes all get the program's.
    SetClassLongPtrW(Handle(), GCLP_HICON, 0);
    SetClassLongPtrW(Handle(), GCLP_HICONSM, 0);
    controls_ = std::make_unique<Controls>(*this);
    Controls& c = *controls_;
    c.owner = owner;

    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    c.banner.SetBounds(0, 0, 360, 50);
    c.banner.SetStretch(true);
    c.banner.SetPicture(Picture::FromJpegResource(IDR_ABOUT_JPEG));
    c.banner.SetCursor(hand);
    c.banner.OnClick = [this](GraphicControl&) {
        Application::Get().Shell().Open(Handle(), "Open", LoadText(IDS_URL_HOME));
    };

    c.productIcon.SetBounds(20, 61, 32, 32);
    c.productIcon.SetStretch(true);
    c.productIcon.SetPicture(Picture::FromIconResource(IDI_PRODUCT, 32, 32));

    // Filled in when the dialog is shown.
    c.productName = AddLabel(*this, idProductName, "", 80, 62);
    c.versionText =
        AddLabel(*this, idVersion, FormatText(LoadText(IDS_ABOUT_VERSION), {LoadText(IDS_VERSION_NUMBER)}), 80, 87);
    c.copyrightText = AddLabel(*this, idCopyright, LoadText(IDS_ABOUT_COPYRIGHT), 80, 112);
    c.emailText = AddLabel(*this, idEmail, LoadText(IDS_ABOUT_EMAIL), 80, 137);
    for (HWND label : {c.productName, c.versionText, c.copyrightText, c.emailText}) {
        SizeToText(*this, label);
    }
    c.separatorLine = AddControl(
        *this,
        {.className = L"STATIC", .style = WS_VISIBLE | SS_ETCHEDHORZ, .bounds = {80, 166, 262, 2}, .id = idSeparator});

    // The address shown is the maker's site; a click opens the product's own page.
    c.webAddress.SetBounds(80, 182, 0, 0);
    c.webAddress.SetFont(-11, false, true);
    c.webAddress.SetFontColor(RGB(0, 0, 255));
    c.webAddress.SetCursor(hand);
    c.webAddress.SetCaption(kWebAddressText);
    c.webAddress.OnClick = [this](GraphicControl&) {
        Application::Get().Shell().Open(Handle(), "Open", LoadText(IDS_URL_PRODUCT));
    };

    c.okButton = AddControl(*this, {.className = L"BUTTON",
                                    .text = Widen(LoadText(IDS_OK)),
                                    .style = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                    .bounds = {260, 201, 79, 23},
                                    .id = IDOK});
    DescribeForScreenReaders();
    OnCommand(IDOK, [this](int) { SetModalResult(mrOk); });
    // Esc: the way of the close box.
    OnCommand(IDCANCEL, [this](int) { Close(); });
}

AboutDialog::~AboutDialog() = default;

// The banner and the address are links, read where they stand (the banner, with the product's name
// on it, first; the address after the lines above it) and reached with Tab before OK.
void AboutDialog::DescribeForScreenReaders() {
    Controls& c = *controls_;
    c.banner.SetAccessibleRole(ROLE_SYSTEM_LINK);
    c.banner.SetAccessibleName(LoadText(IDS_PRODUCT_NAME));
    c.banner.SetPlaceBefore(c.productName);
    c.productIcon.SetPlaceBefore(c.productName);
    c.webAddress.SetAccessibleRole(ROLE_SYSTEM_LINK);
    c.webAddress.SetPlaceBefore(c.okButton);
}

void AboutDialog::OnShow() {
    Controls& c = *controls_;
    CenterOver(c.owner);
    SetWindowTextW(c.productName, Widen(LoadText(IDS_PRODUCT_NAME)).c_str());
    SizeToText(*this, c.productName);
}

} // namespace kestro
