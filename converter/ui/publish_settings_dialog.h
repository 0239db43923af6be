// Edits copies of the six publishing options; only OK makes them current.
#pragma once
#include "app/settings_store.h"
#include "framework.h"

class PublishSettingsDialog : public Dialog {
 public:
  PublishSettingsDialog(HWND parent, PublishSettings& current);

 protected:
  bool OnCommand(int id, int code, HWND control) override;
  void DoDataExchange(DataExchange& exchange) override;
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  PublishSettings& current_;
  PublishSettings copies_;
};
