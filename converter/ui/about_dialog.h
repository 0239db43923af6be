// The about box: name, version, notices, and the maker's logo as a link to
// the maker's home page.
#pragma once
#include "framework.h"
#include "hyperlink.h"

class AboutDialog : public Dialog {
 public:
  explicit AboutDialog(HWND parent);

 protected:
  void DoDataExchange(DataExchange& exchange) override;
  bool OnInitDialog() override;

 private:
  CHyperLink logo_;
};
