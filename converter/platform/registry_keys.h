// The registry keys of the program: the settings key "Software\Tervano"
// with its values and the start-up marker subkey. Every function takes the
// key path below the root. Reads say whether the value was found; changes
// say what became of them, with the system's reason when it refused. Texts
// are bytes of the system code page, never converted here.
//
// On Windows these are the real registry. Reads open keys for reading only
// and look under HKEY_CURRENT_USER first, then under HKEY_LOCAL_MACHINE.
// Writes go to HKEY_LOCAL_MACHINE where the user may write there (and drop
// the per-user twin of the value, which would hide it), else to
// HKEY_CURRENT_USER, so a standard user's options and hand-off values
// persist while the installer's machine-wide values are still found.
//
// Elsewhere each key is one file in the .reg text format, in the folder
// $TERVANO_CONFIG_DIR, else $XDG_CONFIG_HOME/tervano, else
// ~/.config/tervano. Key and value names compare case-insensitively (ASCII)
// as on Windows. Only writes create the folder or a key file; reading a key
// that has no file gives the missing-value result. Changes are atomic and
// serialised between processes; a damaged file still gives its readable
// values. A key exists when its file does, and deleting it leaves its
// subkeys alone.
#pragma once
#include <cstdint>
#include <string>

enum class KeyStatus {
  kDone,
  kBadName,  // the key path, value name or text cannot be stored at all
  kFailed,   // the system refused or failed; the reason says why
};

// What became of a change of the keys.
struct KeyResult {
  KeyStatus status = KeyStatus::kDone;
  std::string reason;  // the system's words; empty when done
  bool done() const { return status == KeyStatus::kDone; }
};

// Reads at most 4 bytes, whatever the type: number = the bytes read,
// little-endian, and true. Missing value, longer data or no key: number =
// 0, false.
[[nodiscard]] bool ReadKeyNumber(const char* keyPath, const char* valueName, int32_t& number);
// Stores number as a 4-byte REG_DWORD.
[[nodiscard]] KeyResult WriteKeyNumber(const char* keyPath, const char* valueName, int32_t number);

// Reads at most 260 bytes (the terminating zero included); the text ends at
// its first zero byte or with the data. Missing value, longer data or no
// key: empty text, false.
[[nodiscard]] bool ReadKeyText(const char* keyPath, const char* valueName, std::string& text);
// Stores text as REG_SZ with its terminating zero; a null text is kBadName.
[[nodiscard]] KeyResult WriteKeyText(const char* keyPath, const char* valueName, const char* text);

// Done whether or not the value was there; failed when it stays readable
// because the key cannot be opened for writing.
[[nodiscard]] KeyResult DeleteKeyValue(const char* keyPath, const char* valueName);

// Creates the key (no values) unless it exists; done when it exists
// afterwards.
[[nodiscard]] KeyResult CreateKey(const char* keyPath);
// True when the key exists (on Windows under either root).
[[nodiscard]] bool KeyExists(const char* keyPath);
// Done when the key is gone afterwards (deleted, or it was not there). On
// Windows a key with subkeys cannot be deleted; both roots are cleared.
[[nodiscard]] KeyResult DeleteKey(const char* keyPath);

#ifndef _WIN32
// The folder of the key files (no trailing slash); empty when none can be
// named. Read from the environment at every call.
[[nodiscard]] std::string KeyStoreFolder();
// The file of a key in that folder; empty when none can be named.
[[nodiscard]] std::string KeyFilePath(const char* keyPath);
#endif
