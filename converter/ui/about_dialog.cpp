#include "about_dialog.h"

#include <string>

#include "app/html_page.h"
#include "dpi.h"
#include "resource.h"

namespace {

// The logo's size at 100 %, in pixels.
constexpr int kLogoWidth = 147;
constexpr int kLogoHeight = 46;
// Posted to itself once the dialog has been laid out for a new DPI.
constexpr UINT kShowLogo = WM_APP + 1;

}  // namespace

AboutDialog::AboutDialog(HWND parent) : Dialog(IDD_ABOUT, parent) {
  logo_.SetLink(kMakerHomePage, std::string("访问 HALDRUN 主页 - ") + kMakerHomePage);
}

AboutDialog::~AboutDialog() {
  // The picture control must be gone before its bitmap.
  if (hwnd()) DestroyWindow(hwnd());
  if (logoBitmap_) DeleteObject(logoBitmap_);
}

void AboutDialog::DoDataExchange(DataExchange& exchange) { exchange.Control(IDC_LOGO, logo_); }

bool AboutDialog::OnInitDialog() {
  bool result = Dialog::OnInitDialog();
  ShowLogo();
  return result;
}

bool AboutDialog::WindowProc(UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message == WM_DPICHANGED) {
    // The dialog manager rescales the dialog after this handler, and with
    // it the picture control: the logo follows once that is done.
    PostMessageW(hwnd(), kShowLogo, 0, 0);
    return false;
  }
  if (message == kShowLogo) {
    ShowLogo();
    result = 0;
    return true;
  }
  return false;
}

void AboutDialog::ShowLogo() {
  HBITMAP logo = LoadBitmapForDpi(IDB_LOGO, IDB_LOGO_2X, kLogoWidth, kLogoHeight, WindowDpi(hwnd()));
  if (!logo) return;
  // The control takes the bitmap's size. What it showed before is either
  // the template's picture, which it loaded for us, or our earlier one.
  auto previous = reinterpret_cast<HBITMAP>(
      SendDlgItemMessageW(hwnd(), IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo)));
  if (previous && previous != logo) DeleteObject(previous);
  logoBitmap_ = logo;
}
