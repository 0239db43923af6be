#include "hand_off.h"

#include <cstdio>

#include "../platform/process_lock.h"
#include "../platform/registry_keys.h"
#include "settings_store.h"

namespace {

std::string ValueName(int32_t n) {
  char name[16];
  std::snprintf(name, sizeof name, "%ld", static_cast<long>(n));
  return name;
}

}  // namespace

KeyResult StoreHandedText(const char* text) {
  if (!text) return {KeyStatus::kBadName, "no text"};
  ProcessLock lock(kHandOffLockName);
  (void)lock.Acquire(kHandOffLockWaitMs);  // stores all the same
  int32_t last = 0;
  int32_t n = ReadKeyNumber(kSettingsKeyPath, kNumFilesValue, last) ? last + 1 : 1;
  KeyResult counted = WriteKeyNumber(kSettingsKeyPath, kNumFilesValue, n);
  if (!counted.done()) return counted;
  return WriteKeyText(kSettingsKeyPath, ValueName(n).c_str(), text);
}

std::vector<std::string> TakeHandedTexts() {
  std::vector<std::string> texts;
  ProcessLock lock(kHandOffLockName);
  (void)lock.Acquire(kHandOffLockWaitMs);  // takes all the same
  int32_t count = 0;  // no count: nothing waits
  (void)ReadKeyNumber(kSettingsKeyPath, kNumFilesValue, count);
  // A damaged count must not keep the window busy for ever.
  if (count > kMaxHandedTexts) count = kMaxHandedTexts;
  for (int32_t i = 1; i <= count; ++i) {
    std::string name = ValueName(i);
    std::string text;
    bool read = ReadKeyText(kSettingsKeyPath, name.c_str(), text);
    // Also one too long to read. One that stays is taken again next time,
    // and the window has no one to tell.
    (void)DeleteKeyValue(kSettingsKeyPath, name.c_str());
    if (read) texts.push_back(text);
  }
  (void)WriteKeyNumber(kSettingsKeyPath, kNumFilesValue, 0);
  return texts;
}
