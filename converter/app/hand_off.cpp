#include "hand_off.h"

#include <cstdio>

#include "../platform/process_lock.h"
#include "../platform/registry_keys.h"
#include "../platform/registry_wide_text.h"
#include "settings_store.h"

namespace {

std::string ValueName(int32_t n) {
  char name[16];
  std::snprintf(name, sizeof name, "%ld", static_cast<long>(n));
  return name;
}

}  // namespace

int StoreHandedText(const char* text) {
  if (!text) return 0;
  ProcessLock lock(kHandOffLockName);
  lock.Acquire(kHandOffLockWaitMs);
  int32_t last = 0;
  int32_t n = ReadKeyNumber(kSettingsKeyPath, kNumFilesValue, last) ? last + 1 : 1;
  if (!WriteKeyNumber(kSettingsKeyPath, kNumFilesValue, n)) return 0;
  // Unicode, so that a name passes whatever the code page.
  return WriteKeyUnicodeText(kSettingsKeyPath, ValueName(n).c_str(), text) ? 1 : 0;
}

std::vector<std::string> TakeHandedTexts() {
  std::vector<std::string> texts;
  ProcessLock lock(kHandOffLockName);
  lock.Acquire(kHandOffLockWaitMs);
  int32_t count = 0;
  ReadKeyNumber(kSettingsKeyPath, kNumFilesValue, count);
  // A damaged count must not keep the window busy for ever.
  if (count > kMaxHandedTexts) count = kMaxHandedTexts;
  for (int32_t i = 1; i <= count; ++i) {
    std::string name = ValueName(i);
    std::string text;
    bool read = ReadKeyUnicodeText(kSettingsKeyPath, name.c_str(), text);
    DeleteKeyValue(kSettingsKeyPath, name.c_str());  // also one too long to read
    if (read) texts.push_back(text);
  }
  WriteKeyNumber(kSettingsKeyPath, kNumFilesValue, 0);
  return texts;
}
