// The about box: name, version, notices, and the maker's logo as a link to
// the maker's home page.
#pragma once
#include "framework.h"
#include "hyperlink.h"

class AboutDialog : public Dialog {
 public:
  explicit AboutDialog(HWND parent);
  ~AboutDialog() override;

 protected:
  void DoDataExchange(DataExchange& exchange) override;
  bool OnInitDialog() override;
  bool WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // Shows the logo drawn for the window's DPI.
  void ShowLogo();

  CHyperLink logo_;
  HBITMAP logoBitmap_ = nullptr;
};
