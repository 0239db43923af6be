#include "settings_sandbox.h"

#ifndef _WIN32

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

SavedVariable::SavedVariable(const char* name) : name_(name) {
  if (const char* v = std::getenv(name)) {
    old_ = v;
    had_ = true;
  }
}

SavedVariable::~SavedVariable() {
  if (had_)
    setenv(name_.c_str(), old_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

void SavedVariable::Set(const char* value) {
  if (value)
    setenv(name_.c_str(), value, 1);
  else
    unsetenv(name_.c_str());
}

SettingsSandbox::SettingsSandbox() {
  std::error_code ec;
  std::string base = std::filesystem::temp_directory_path(ec).string();
  if (ec || base.empty()) base = "/tmp";
  std::string pattern = base + "/tervano-settings-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data())) folder_ = name.data();
  else folder_ = base + "/tervano-settings-unmade";  // reads then give defaults
  if (const char* v = std::getenv("TERVANO_CONFIG_DIR")) {
    savedDir_ = v;
    hadSavedDir_ = true;
  }
  setenv("TERVANO_CONFIG_DIR", folder_.c_str(), 1);
}

SettingsSandbox::~SettingsSandbox() {
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
  if (hadSavedDir_)
    setenv("TERVANO_CONFIG_DIR", savedDir_.c_str(), 1);
  else
    unsetenv("TERVANO_CONFIG_DIR");
}

void SettingsSandbox::Clear() {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end;
       it.increment(ec))
    std::filesystem::remove_all(it->path(), ec);
}

#else

#include <windows.h>

#include "platform/registry_key_data.h"
#include "platform/registry_keys.h"

namespace {

const char* const kKey = "Software\\Tervano";

// Names of all values of the settings key under root (the one thing the
// seam cannot tell); none when it does not exist.
std::vector<std::string> ValueNames(HKEY root = HKEY_LOCAL_MACHINE) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD size = sizeof name;
    if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name, size);
  }
  RegCloseKey(key);
  return names;
}

}  // namespace

SettingsSandbox::SettingsSandbox() {
  keyExisted_ = KeyExists(kKey) == 1;
  std::vector<char> data(1 << 20);
  for (const std::string& name : ValueNames()) {
    uint32_t type = 0;
    size_t size = 0;
    if (ReadKeyData(kKey, name.c_str(), type, data.data(), data.size(), size))
      saved_.push_back(SavedValue{name, type, std::string(data.data(), size)});
  }
}

SettingsSandbox::~SettingsSandbox() {
  Clear();
  if (!keyExisted_) {
    (void)DeleteKey(kKey);
    return;
  }
  for (const SavedValue& v : saved_)
    (void)WriteKeyData(kKey, v.name.c_str(), v.type, v.data.data(), v.data.size());
}

void SettingsSandbox::Clear() {
  for (const std::string& name : ValueNames()) (void)DeleteKeyValue(kKey, name.c_str());
  // The per-user twin (a standard user's values) goes entirely: the test
  // prefix has no user settings of its own.
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    for (const std::string& name : ValueNames(HKEY_CURRENT_USER)) RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tervano\\open");
  RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
}

#endif
