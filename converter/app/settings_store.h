// Options kept between runs in the key "Software\Tervano" (on Windows under
// HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for a standard user; a
// file-backed stand-in elsewhere, see platform/registry_keys.h).
#pragma once
#include <cstdint>
#include <string>

#include "command_line.h"
#include "conversion_options.h"
#include "platform/registry_keys.h"

// Only writes create the key.
constexpr const char* kSettingsKeyPath = "Software\\Tervano";

// ExecString (REG_SZ, read by the shell extension) holds the command that
// starts the converter: the full path of the program, in double quotes when
// it contains a space, at most 259 bytes, in the system code page. The
// extension appends " -quite <file>" or " <file>" to it. The installation
// writes it; neither the converter nor the extension does.
constexpr const char* kExecStringValue = "ExecString";

// Reads at most 4 bytes. Missing value, longer data or no key: number = 0,
// false. Otherwise the bytes read (little-endian, whatever the type), true.
[[nodiscard]] bool ReadSettingNumber(const char* name, int32_t& number);
// Stores a 4-byte REG_DWORD.
[[nodiscard]] KeyResult WriteSettingNumber(const char* name, int32_t number);
// Reads at most 260 bytes (terminating zero included). Missing value,
// longer data or no key: text empty, false.
[[nodiscard]] bool ReadSettingText(const char* name, std::string& text);
// Stores text as REG_SZ with its terminating zero. A null text deletes the
// value (done whether or not it was there); failed when the key cannot be
// opened.
[[nodiscard]] KeyResult WriteSettingText(const char* name, const char* text);

// What saving the options came to: done, or the first value that could not
// be stored (the others were still written) and why.
struct OptionsSaved {
  KeyResult result;
  std::string valueName;  // empty when done
  bool done() const { return result.done(); }
};

// The twelve stored options, once: value name, the ConversionOptions member
// (a number or a text), what a missing number is for the main window and
// for the quiet command,
// and the command-line flags that switch it on and off (FlagId::None where
// a flag with a value, or several values at once, set it). Rows with a
// label are shown by --show-options as on/off lines. In the order the main
// window loads and saves them.
struct StoredOption {
  const char* name;
  int32_t ConversionOptions::*number;  // null for a text
  std::string ConversionOptions::*text;  // null for a number
  int32_t windowDefault;
  int32_t quietDefault;
  FlagId onFlag;
  FlagId offFlag;
  const char* label;  // null: shown by its own line
  const char* onText;
  const char* offText;
};
extern const StoredOption kStoredOptions[];
extern const size_t kStoredOptionCount;
constexpr const char* kLinkTextValue = "OptionURLName";
constexpr const char* kRuffleValue = "OptionRuffleURL";

// Every option from the store; a missing one takes the window's or the
// quiet command's default. The link text is read whether the link is on or not.
[[nodiscard]] ConversionOptions ReadStoredOptions(bool windowDefaults);
// Writes every option. The link text is always
// written as a text, so an empty one is kept as an empty value; an empty
// Ruffle address deletes its value, so a store that never had one keeps
// its old values only.
[[nodiscard]] OptionsSaved WriteStoredOptions(const ConversionOptions& options);

// The six publish settings, held by the main window, edited by the publish
// settings dialog and handed to each batch; flags, 0 off.
struct PublishSettings {
  int32_t borderCorrection = 0;  // OptionTransparent
  int32_t writeHtml = 0;         // OptionHTML
  int32_t fullMenu = 0;          // OptionHideMenu (1 = full menu shown)
  int32_t useGifBackground = 0;  // OptionBackGround
  int32_t optimiseCanvas = 0;    // OptionCanvasSize
  int32_t protect = 0;           // OptionProtect
  std::string ruffleUrl;         // OptionRuffleURL, kept as loaded
};

// Loop and link fields that the main window holds; the initial values are
// the window's own start values, which loading replaces.
struct MainWindowOptions {
  int32_t changeLoop = 0;     // OptionChangeLoop
  int32_t loopForever = 1;    // OptionLoopForever
  int32_t playCount = 1;      // OptionLoopValue
  std::string playCountText;  // playCount in decimal, for the entry field
  int32_t useLinkUrl = 0;     // OptionURL
  std::string linkUrl;        // OptionURLName
};

// Reads all twelve option values into publish and window. Missing
// OptionTransparent, OptionHTML and OptionHideMenu load as 1, everything
// else as 0 (empty text).
void LoadOptions(MainWindowOptions& window, PublishSettings& publish);
// Writes all twelve option values; the window tells the user when one
// could not be stored.
[[nodiscard]] OptionsSaved SaveOptions(const MainWindowOptions& window, const PublishSettings& publish);

// Options of a quiet conversion: every value read from the store, missing
// ones as 0 (empty text). The link is set when OptionURL is on, with the
// OptionURLName text, which may be empty.
[[nodiscard]] ConversionOptions ReadQuietOptions();
