#include "settings_sandbox.h"

#include "platform/registry.h"

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

namespace {

HKEY OpenIfExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano", 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS)
    return nullptr;
  return key;
}

// Names of all values of key.
std::vector<std::string> ValueNames(HKEY key) {
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD size = sizeof name;
    if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name, size);
  }
  return names;
}

}  // namespace

SettingsSandbox::SettingsSandbox() {
  HKEY key = OpenIfExists();
  keyExisted_ = key != nullptr;
  if (!key) return;
  for (const std::string& name : ValueNames(key)) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      continue;
    std::string data(size, '\0');
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS)
      continue;
    data.resize(size);
    saved_.push_back(SavedValue{name, type, data});
  }
  RegCloseKey(key);
}

SettingsSandbox::~SettingsSandbox() {
  Clear();
  if (!keyExisted_) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tervano");
    return;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano", 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  for (const SavedValue& v : saved_)
    RegSetValueExA(key, v.name.c_str(), 0, v.type,
                   reinterpret_cast<const BYTE*>(v.data.data()),
                   static_cast<DWORD>(v.data.size()));
  RegCloseKey(key);
}

void SettingsSandbox::Clear() {
  HKEY key = OpenIfExists();
  if (!key) return;
  for (const std::string& name : ValueNames(key)) RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

#endif
