// Keeps tests away from a real user's settings. Off Windows the key files
// go to a fresh private folder (TERVANO_CONFIG_DIR) that is removed
// afterwards. On Windows (Wine, private prefix) the values of
// HKLM\Software\Tervano are saved and put back afterwards (its per-user
// twin under HKCU is removed), and the key is
// deleted again when it did not exist before.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class SettingsSandbox {
 public:
  SettingsSandbox();
  ~SettingsSandbox();
  SettingsSandbox(const SettingsSandbox&) = delete;
  SettingsSandbox& operator=(const SettingsSandbox&) = delete;

  // Empties the settings key (deletes all its values).
  void Clear();
#ifndef _WIN32
  // The private store folder.
  const std::string& folder() const { return folder_; }
#endif

 private:
#ifndef _WIN32
  std::string folder_;
  std::string savedDir_;
  bool hadSavedDir_ = false;
#else
  struct SavedValue {
    std::string name;
    uint32_t type;
    std::string data;
  };
  bool keyExisted_ = false;
  std::vector<SavedValue> saved_;
#endif
};

#ifndef _WIN32
// Sets or (value null) removes an environment variable for its lifetime.
class SavedVariable {
 public:
  explicit SavedVariable(const char* name);
  ~SavedVariable();
  void Set(const char* value);
  SavedVariable(const SavedVariable&) = delete;
  SavedVariable& operator=(const SavedVariable&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};
#endif
