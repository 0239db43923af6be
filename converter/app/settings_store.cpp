#include "settings_store.h"

#include <cstdio>

const StoredOption kStoredOptions[] = {
    {"OptionTransparent", &ConversionOptions::borderCorrection, nullptr, 1, 0, FlagId::Border, FlagId::NoBorder, "border", "on",
     "off"},
    {"OptionHTML", &ConversionOptions::writeHtml, nullptr, 1, 0, FlagId::Html, FlagId::NoHtml, "html page", "on", "off"},
    {"OptionHideMenu", &ConversionOptions::fullMenu, nullptr, 1, 0, FlagId::FullMenu, FlagId::NoFullMenu, "full menu", "on",
     "off"},
    {"OptionBackGround", &ConversionOptions::useGifBackground, nullptr, 0, 0, FlagId::GifBackground, FlagId::WhiteBackground,
     "background", "the GIF's", "white"},
    {"OptionCanvasSize", &ConversionOptions::optimiseCanvas, nullptr, 0, 0, FlagId::Crop, FlagId::NoCrop, "crop", "on", "off"},
    {"OptionProtect", &ConversionOptions::protect, nullptr, 0, 0, FlagId::Protect, FlagId::NoProtect, "protect", "on", "off"},
    {kLinkTextValue, nullptr, &ConversionOptions::linkUrl, 0, 0, FlagId::None, FlagId::None, nullptr, nullptr, nullptr},
    {"OptionChangeLoop", &ConversionOptions::changeLoop, nullptr, 0, 0, FlagId::None, FlagId::KeepLoop, nullptr, nullptr,
     nullptr},
    {"OptionLoopForever", &ConversionOptions::loopForever, nullptr, 0, 0, FlagId::None, FlagId::None, nullptr, nullptr, nullptr},
    {"OptionLoopValue", &ConversionOptions::playCount, nullptr, 0, 0, FlagId::None, FlagId::None, nullptr, nullptr, nullptr},
    {"OptionURL", &ConversionOptions::useLinkUrl, nullptr, 0, 0, FlagId::None, FlagId::NoUrl, nullptr, nullptr, nullptr},
    {kRuffleValue, nullptr, &ConversionOptions::ruffleUrl, 0, 0, FlagId::None, FlagId::None, nullptr, nullptr, nullptr},
};
const size_t kStoredOptionCount = sizeof kStoredOptions / sizeof kStoredOptions[0];

bool ReadSettingNumber(const char* name, int32_t& number) {
  return ReadKeyNumber(kSettingsKeyPath, name, number);
}

KeyResult WriteSettingNumber(const char* name, int32_t number) {
  return WriteKeyNumber(kSettingsKeyPath, name, number);
}

bool ReadSettingText(const char* name, std::string& text) {
  return ReadKeyText(kSettingsKeyPath, name, text);
}

KeyResult WriteSettingText(const char* name, const char* text) {
  if (!text) return DeleteKeyValue(kSettingsKeyPath, name);
  return WriteKeyText(kSettingsKeyPath, name, text);
}

ConversionOptions ReadStoredOptions(bool windowDefaults) {
  ConversionOptions options;
  for (size_t i = 0; i < kStoredOptionCount; ++i) {
    const StoredOption& o = kStoredOptions[i];
    if (o.text) {
      // a missing text reads as empty, which is its default
      (void)ReadSettingText(o.name, options.*o.text);
      continue;
    }
    int32_t number = 0;
    options.*o.number = ReadSettingNumber(o.name, number) ? number : windowDefaults ? o.windowDefault : o.quietDefault;
  }
  return options;
}

OptionsSaved WriteStoredOptions(const ConversionOptions& options) {
  OptionsSaved saved;
  for (size_t i = 0; i < kStoredOptionCount; ++i) {
    const StoredOption& o = kStoredOptions[i];
    KeyResult stored;
    if (o.number)
      stored = WriteSettingNumber(o.name, options.*o.number);
    else if (o.text == &ConversionOptions::ruffleUrl && options.ruffleUrl.empty())
      stored = WriteSettingText(o.name, nullptr);
    else
      stored = WriteSettingText(o.name, (options.*o.text).c_str());
    if (!stored.done() && saved.done()) saved = {stored, o.name};
  }
  return saved;
}

void LoadOptions(MainWindowOptions& window, PublishSettings& publish) {
  ConversionOptions o = ReadStoredOptions(true);
  publish.borderCorrection = o.borderCorrection;
  publish.writeHtml = o.writeHtml;
  publish.fullMenu = o.fullMenu;
  publish.useGifBackground = o.useGifBackground;
  publish.optimiseCanvas = o.optimiseCanvas;
  publish.protect = o.protect;
  publish.ruffleUrl = o.ruffleUrl;
  window.linkUrl = o.linkUrl;
  window.changeLoop = o.changeLoop;
  window.loopForever = o.loopForever;
  window.playCount = o.playCount;
  char digits[16];
  std::snprintf(digits, sizeof digits, "%i", static_cast<int>(window.playCount));
  window.playCountText = digits;
  window.useLinkUrl = o.useLinkUrl;
}

OptionsSaved SaveOptions(const MainWindowOptions& window, const PublishSettings& publish) {
  ConversionOptions o;
  o.borderCorrection = publish.borderCorrection;
  o.writeHtml = publish.writeHtml;
  o.fullMenu = publish.fullMenu;
  o.useGifBackground = publish.useGifBackground;
  o.optimiseCanvas = publish.optimiseCanvas;
  o.protect = publish.protect;
  o.ruffleUrl = publish.ruffleUrl;
  o.linkUrl = window.linkUrl;
  o.changeLoop = window.changeLoop;
  o.loopForever = window.loopForever;
  o.playCount = window.playCount;
  o.useLinkUrl = window.useLinkUrl;
  return WriteStoredOptions(o);
}

ConversionOptions ReadQuietOptions() {
  ConversionOptions options = ReadStoredOptions(false);
  if (!options.useLinkUrl) options.linkUrl.clear();
  return options;
}
