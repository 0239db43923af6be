#include "about_dialog.h"

#include <string>

#include "app/html_page.h"
#include "resource.h"

AboutDialog::AboutDialog(HWND parent) : Dialog(IDD_ABOUT, parent) {
  logo_.SetLink(kMakerHomePage, std::string("访问 HALDRUN 主页 - ") + kMakerHomePage);
}

void AboutDialog::DoDataExchange(DataExchange& exchange) { exchange.Control(IDC_LOGO, logo_); }

bool AboutDialog::OnInitDialog() { return Dialog::OnInitDialog(); }
