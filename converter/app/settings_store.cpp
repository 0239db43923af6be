#include "settings_store.h"

#include <cstdio>
#include <cstring>

#include "../platform/registry.h"

PublishSettings CurrentPublishSettings;

namespace {

constexpr DWORD kTextLimit = 260;

// Opens (creating it when needed) the settings key; null when it cannot be
// opened with full access.
HKEY OpenSettingsKey() {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr);
  return result == ERROR_SUCCESS ? key : nullptr;
}

// Missing values take fallback.
int32_t NumberOr(const char* name, int32_t fallback) {
  int32_t number = 0;
  return ReadSettingNumber(name, number) ? number : fallback;
}

}  // namespace

int ReadSettingNumber(const char* name, int32_t& number) {
  number = 0;
  HKEY key = OpenSettingsKey();
  if (!key) return 0;
  BYTE data[4] = {0, 0, 0, 0};
  DWORD size = sizeof data;
  DWORD type = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, &type, data, &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return 0;
  uint32_t value = 0;
  for (DWORD i = 0; i < size && i < sizeof data; ++i) value |= uint32_t(data[i]) << (8 * i);
  number = static_cast<int32_t>(value);
  return 1;
}

int WriteSettingNumber(const char* name, int32_t number) {
  HKEY key = OpenSettingsKey();
  if (!key) return 0;
  uint32_t value = static_cast<uint32_t>(number);
  BYTE data[4];
  for (int i = 0; i < 4; ++i) data[i] = static_cast<BYTE>(value >> (8 * i));
  LONG result = RegSetValueExA(key, name, 0, REG_DWORD, data, sizeof data);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 1 : 0;
}

int ReadSettingText(const char* name, std::string& text) {
  text.clear();
  HKEY key = OpenSettingsKey();
  if (!key) return 0;
  char data[kTextLimit];
  DWORD size = sizeof data;
  DWORD type = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, &type,
                                 reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return 0;
  if (size > sizeof data) size = sizeof data;
  // the text ends at its zero, or with the data when it has none
  const void* zero = std::memchr(data, '\0', size);
  size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - data) : size;
  text.assign(data, length);
  return 1;
}

int WriteSettingText(const char* name, const char* text) {
  HKEY key = OpenSettingsKey();
  if (!key) return 0;
  LONG result;
  if (text) {
    size_t size = std::strlen(text) + 1;
    result = RegSetValueExA(key, name, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>(size));
  } else {
    RegDeleteValueA(key, name);  // nothing to delete is fine too
    result = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 1 : 0;
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
