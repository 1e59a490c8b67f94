#include "dialogs/about_win.h"

#include "global/application_win.h"
#include "global/graphics_win.h"
#include "global/texts.h"
#include "global/winstr_win.h"
#include "resource_ids.h"

namespace kestro {

namespace {

constexpr int kLabel1 = 1001;
constexpr int kLabel2 = 1002;
constexpr int kCopywrite = 1003;
constexpr int kLabel3 = 1004;
constexpr int kPanel2 = 1005;

constexpr char kVersionText[] = "Version: 2.0  Build 20230428";
constexpr char kCopyrightText[] = "Copyright \xC2\xA9 2023 Kestro Software. All rights reserved.";
constexpr char kEmailText[] = "Email: support@kestro-software.example";
constexpr char kWebAddressText[] = "www.kestro-software.example";

} // namespace

struct TfrmAbout::Controls {
    explicit Controls(TfrmAbout& form) : Image2(form), Image1(form), lbEAddress(form) {}

    HWND owner = nullptr;
    TImage Image2;
    TImage Image1;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND lCopywrite = nullptr;
    HWND Label3 = nullptr;
    HWND Panel2 = nullptr;
    TLabel lbEAddress;
    HWND bOK = nullptr;
};

namespace {

// A plain label sized to its text, as an auto-sized label of the toolkit is.
HWND AddLabel(Form& form, int id, const std::string& text, int x, int y) {
    HWND label = form.AddControl(form, L"STATIC", Widen(text), WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, x, y, 1, 1, id);
    return label;
}

// As wide and high as its text, at every DPI.
void SizeToText(Form& form, HWND label) { form.FitToText(label, 0, true); }

} // namespace

TfrmAbout::TfrmAbout(HWND owner) {
    CreateForm(L"TfrmAbout", owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, WS_EX_DLGMODALFRAME,
               L"About Refindor", 360, 237);
    // A dialog frame carries no icon; the framework's classes all get the program's.
    SetClassLongPtrW(Handle(), GCLP_HICON, 0);
    SetClassLongPtrW(Handle(), GCLP_HICONSM, 0);
    controls_ = std::make_unique<Controls>(*this);
    Controls& c = *controls_;
    c.owner = owner;

    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    c.Image2.SetBounds(0, 0, 360, 50);
    c.Image2.SetStretch(true);
    c.Image2.SetPicture(Picture::FromJpegResource(IDR_ABOUT_JPEG));
    c.Image2.SetCursor(hand);
    c.Image2.OnClick = [this](GraphicControl&) {
        Application::Get().Shell().Open(Handle(), "Open", LoadText(IDS_URL_HOME));
    };

    c.Image1.SetBounds(20, 61, 32, 32);
    c.Image1.SetStretch(true);
    c.Image1.SetPicture(Picture::FromIconResource(IDI_PRODUCT, 32, 32));

    // Filled in when the dialog is shown.
    c.Label1 = AddLabel(*this, kLabel1, "", 80, 62);
    c.Label2 = AddLabel(*this, kLabel2, kVersionText, 80, 87);
    c.lCopywrite = AddLabel(*this, kCopywrite, kCopyrightText, 80, 112);
    c.Label3 = AddLabel(*this, kLabel3, kEmailText, 80, 137);
    for (HWND label : {c.Label1, c.Label2, c.lCopywrite, c.Label3}) {
        SizeToText(*this, label);
    }
    c.Panel2 = AddControl(*this, L"STATIC", L"", WS_VISIBLE | SS_ETCHEDHORZ, 0, 80, 166, 262, 2, kPanel2);

    // The address shown is the maker's site; a click opens the product's own page.
    c.lbEAddress.SetBounds(80, 182, 0, 0);
    c.lbEAddress.SetFont(-11, false, true);
    c.lbEAddress.SetFontColor(RGB(0, 0, 255));
    c.lbEAddress.SetCursor(hand);
    c.lbEAddress.SetCaption(kWebAddressText);
    c.lbEAddress.OnClick = [this](GraphicControl&) {
        Application::Get().Shell().Open(Handle(), "Open", LoadText(IDS_URL_PRODUCT));
    };

    c.bOK = AddControl(*this, L"BUTTON", L"&OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 260, 201, 79, 23, IDOK);
    OnCommand(IDOK, [this](int) { SetModalResult(mrOk); });
    // Esc: the way of the close box.
    OnCommand(IDCANCEL, [this](int) { Close(); });
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::FormShow() {
    Controls& c = *controls_;
    CenterOver(c.owner);
    SetWindowTextW(c.Label1, Widen(LoadText(IDS_PRODUCT_NAME)).c_str());
    SizeToText(*this, c.Label1);
}

} // namespace kestro
