#include "publish_settings_dialog.h"

#include "resource.h"

PublishSettingsDialog::PublishSettingsDialog(HWND parent, PublishSettings& current)
    : Dialog(IDD_PUBLISH, parent), current_(current), copies_(current) {}

bool PublishSettingsDialog::OnCommand(int id, int code, HWND control) {
  if (code == BN_CLICKED) {
    switch (id) {
      case IDC_HTML:
        copies_.writeHtml = 1 - (copies_.writeHtml ? 1 : 0);
        // The full-menu choice keeps its state while it does not apply.
        EnableWindow(Item(IDC_FULL_MENU), copies_.writeHtml ? TRUE : FALSE);
        return true;
      case IDC_BORDER:
        copies_.borderCorrection = 1 - (copies_.borderCorrection ? 1 : 0);
        return true;
      case IDC_BACKGROUND:
        copies_.useGifBackground = 1 - (copies_.useGifBackground ? 1 : 0);
        return true;
      case IDC_CANVAS:
        copies_.optimiseCanvas = 1 - (copies_.optimiseCanvas ? 1 : 0);
        return true;
      case IDC_PROTECT:
        copies_.protect = 1 - (copies_.protect ? 1 : 0);
        return true;
      case IDC_FULL_MENU:
        copies_.fullMenu = 1 - (copies_.fullMenu ? 1 : 0);
        return true;
      default:
        break;
    }
  }
  return Dialog::OnCommand(id, code, control);
}

void PublishSettingsDialog::DoDataExchange(DataExchange& exchange) {
  exchange.Check(IDC_BORDER, copies_.borderCorrection);
  exchange.Check(IDC_BACKGROUND, copies_.useGifBackground);
  exchange.Check(IDC_CANVAS, copies_.optimiseCanvas);
  exchange.Check(IDC_PROTECT, copies_.protect);
  exchange.Check(IDC_HTML, copies_.writeHtml);
  exchange.Check(IDC_FULL_MENU, copies_.fullMenu);
}

bool PublishSettingsDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  EnableWindow(Item(IDC_FULL_MENU), copies_.writeHtml ? TRUE : FALSE);
  return true;
}

void PublishSettingsDialog::OnOK() {
  // The copies follow every click, so nothing is read back from the boxes.
  current_ = copies_;
  EndDialog(IDOK);
}
