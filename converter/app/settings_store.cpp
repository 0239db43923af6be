#include "settings_store.h"

#include <cstdio>

#include "../platform/registry_keys.h"

PublishSettings CurrentPublishSettings;

namespace {

// Missing values take fallback.
int32_t NumberOr(const char* name, int32_t fallback) {
  int32_t number = 0;
  return ReadSettingNumber(name, number) ? number : fallback;
}

}  // namespace

int ReadSettingNumber(const char* name, int32_t& number) {
  return ReadKeyNumber(kSettingsKeyPath, name, number);
}

int WriteSettingNumber(const char* name, int32_t number) {
  return WriteKeyNumber(kSettingsKeyPath, name, number);
}

int ReadSettingText(const char* name, std::string& text) {
  return ReadKeyText(kSettingsKeyPath, name, text);
}

int WriteSettingText(const char* name, const char* text) {
  if (!text) return DeleteKeyValue(kSettingsKeyPath, name);
  return WriteKeyText(kSettingsKeyPath, name, text);
}

void LoadOptions(MainWindowOptions& window) {
  PublishSettings& publish = CurrentPublishSettings;
  publish.borderCorrection = NumberOr("OptionTransparent", 1);
  publish.writeHtml = NumberOr("OptionHTML", 1);
  publish.fullMenu = NumberOr("OptionHideMenu", 1);
  publish.useGifBackground = NumberOr("OptionBackGround", 0);
  publish.optimiseCanvas = NumberOr("OptionCanvasSize", 0);
  publish.protect = NumberOr("OptionProtect", 0);
  ReadSettingText("OptionURLName", window.linkUrl);
  window.changeLoop = NumberOr("OptionChangeLoop", 0);
  window.loopForever = NumberOr("OptionLoopForever", 0);
  window.playCount = NumberOr("OptionLoopValue", 0);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%i", static_cast<int>(window.playCount));
  window.playCountText = digits;
  window.useLinkUrl = NumberOr("OptionURL", 0);
}

void SaveOptions(const MainWindowOptions& window) {
  const PublishSettings& publish = CurrentPublishSettings;
  WriteSettingNumber("OptionTransparent", publish.borderCorrection);
  WriteSettingNumber("OptionHTML", publish.writeHtml);
  WriteSettingNumber("OptionHideMenu", publish.fullMenu);
  WriteSettingNumber("OptionBackGround", publish.useGifBackground);
  WriteSettingNumber("OptionCanvasSize", publish.optimiseCanvas);
  WriteSettingNumber("OptionProtect", publish.protect);
  WriteSettingText("OptionURLName", window.linkUrl.c_str());
  WriteSettingNumber("OptionChangeLoop", window.changeLoop);
  WriteSettingNumber("OptionLoopForever", window.loopForever);
  WriteSettingNumber("OptionLoopValue", window.playCount);
  WriteSettingNumber("OptionURL", window.useLinkUrl);
}

ConversionOptions ReadQuietOptions() {
  ConversionOptions options;
  ReadSettingNumber("OptionChangeLoop", options.changeLoop);
  ReadSettingNumber("OptionLoopForever", options.loopForever);
  ReadSettingNumber("OptionLoopValue", options.playCount);
  ReadSettingNumber("OptionTransparent", options.borderCorrection);
  ReadSettingNumber("OptionBackGround", options.useGifBackground);
  ReadSettingNumber("OptionCanvasSize", options.optimiseCanvas);
  ReadSettingNumber("OptionProtect", options.protect);
  ReadSettingNumber("OptionHTML", options.writeHtml);
  ReadSettingNumber("OptionHideMenu", options.fullMenu);
  ReadSettingNumber("OptionURL", options.useLinkUrl);
  std::string linkUrl;
  ReadSettingText("OptionURLName", linkUrl);
  if (options.useLinkUrl) options.linkUrl = linkUrl;
  return options;
}
