// The command line of the Linux program: `tervano [OPTIONS] FILE...`. One
// flag table drives both the parser and --help, so the two cannot differ.
// (The Windows program keeps its own command line, see ui/start_up.h.)
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "conversion_options.h"
#include "platform/path_limit.h"

enum class FlagId {
  OutputDir,
  FilesFrom,
  Null,
  Jobs,
  Quiet,
  Loop,
  LoopForever,
  KeepLoop,
  Url,
  NoUrl,
  Border,
  NoBorder,
  GifBackground,
  WhiteBackground,
  Crop,
  NoCrop,
  Protect,
  NoProtect,
  Html,
  NoHtml,
  FullMenu,
  NoFullMenu,
  Ruffle,
  NoRuffle,
  SaveOptions,
  ShowOptions,
  Help,
  Version,
  None,  // no flag
};

struct FlagSpec {
  FlagId id;
  char shortName;         // 0: long name only
  const char* longName;   // without the leading "--"
  const char* valueName;  // shown in --help; null when the flag takes no value
  const char* help;       // one line
  const char* section;    // heading printed before this flag in --help, or null
};

// Every flag the parser accepts, in --help order.
extern const FlagSpec kFlags[];
extern const size_t kFlagCount;

// The long name of a flag ("loop-forever"), for messages.
[[nodiscard]] const char* LongFlagName(FlagId id);

// One stored value as a flag sets it: a number or a text.
struct StoredValue {
  std::string name;  // the value name in the store, e.g. "OptionTransparent"
  int32_t number = 0;
  std::string text;
  bool isText = false;
};

constexpr int kMaxPlayCount = 65535;  // what the main window accepts
constexpr int kMaxJobs = 256;
constexpr size_t kMaxUrlBytes = kPathLimit - 1;  // what the store reads, less the zero
constexpr size_t kMaxRuffleUrlBytes = kMaxUrlBytes;  // the same store limit

struct CommandLine {
  std::vector<std::string> files;  // in the order given
  std::string filesFrom;           // a list of more files, after those; "-" is stdin
  bool nullSeparated = false;      // the list's names end in NUL, not newline
  std::string outputDir;           // empty: each movie beside its source
  int jobs = 0;                    // 0: one per core
  bool quiet = false;
  bool saveOptions = false;
  bool showOptions = false;
  bool help = false;
  bool version = false;
  // What the option flags set, in the store's names; a later flag for the
  // same value replaces the earlier one.
  std::vector<StoredValue> overrides;
  std::string error;  // the usage error when parsing failed
};

// Parses argv[1..argc-1]. Long flags take their value as the next argument
// or after "=" (--loop=3); short ones as the next argument or attached
// (-j4). "--" ends the flags; "-" alone is a file name. False for a usage
// error (unknown flag, missing or bad value, no file where one is needed,
// -0 without a list), with command.error set.
[[nodiscard]] bool ParseCommandLine(int argc, const char* const* argv, CommandLine& command);

// Puts the overrides into options (which hold the stored values).
void ApplyOverrides(const std::vector<StoredValue>& overrides, ConversionOptions& options);

// --help: usage, every flag of kFlags, where the options are stored
// (storeFolder, as found now), exit statuses.
[[nodiscard]] std::string HelpText(const std::string& storeFolder);

// --show-options: the options, one per line, each with the flag that
// gives it.
[[nodiscard]] std::string DescribeOptions(const ConversionOptions& options);
