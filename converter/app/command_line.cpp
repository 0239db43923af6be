#include "command_line.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "settings_store.h"

const FlagSpec kFlags[] = {
    {FlagId::OutputDir, 'o', "output-dir", "DIR", "write the movies (and pages) into DIR, made when missing",
     "Output:"},
    {FlagId::FilesFrom, 0, "files-from", "FILE", "also convert the files named in FILE, one per line (- reads stdin)",
     nullptr},
    {FlagId::Null, '0', "null", nullptr, "the names in the --files-from list end in NUL, not newline", nullptr},
    {FlagId::Jobs, 'j', "jobs", "N", "convert N files at once (default: one per core; cores + 2 threads at most)", nullptr},
    {FlagId::Quiet, 'q', "quiet", nullptr, "no progress line", nullptr},
    {FlagId::Loop, 0, "loop", "N", "play the movie N times (1 to 65535), then stop",
     "Movie options, for this run only (all off when never stored):"},
    {FlagId::LoopForever, 0, "loop-forever", nullptr, "loop the movie forever", nullptr},
    {FlagId::KeepLoop, 0, "keep-loop", nullptr, "loop as the GIF's own loop count says", nullptr},
    {FlagId::Url, 0, "url", "URL", "open URL when the movie is clicked (\"\" gives an empty link)", nullptr},
    {FlagId::NoUrl, 0, "no-url", nullptr, "no link", nullptr},
    {FlagId::Border, 0, "border", nullptr, "add a transparent border around each frame", nullptr},
    {FlagId::NoBorder, 0, "no-border", nullptr, "no border", nullptr},
    {FlagId::GifBackground, 0, "gif-background", nullptr, "use the GIF's background colour", nullptr},
    {FlagId::WhiteBackground, 0, "white-background", nullptr, "use a white background", nullptr},
    {FlagId::Crop, 0, "crop", nullptr, "crop frames to their visible part", nullptr},
    {FlagId::NoCrop, 0, "no-crop", nullptr, "keep frames whole", nullptr},
    {FlagId::Protect, 0, "protect", nullptr, "mark the movie as protected from import", nullptr},
    {FlagId::NoProtect, 0, "no-protect", nullptr, "leave the movie unprotected", nullptr},
    {FlagId::Html, 0, "html", nullptr, "write an HTML page (NAME.htm) beside each movie", nullptr},
    {FlagId::NoHtml, 0, "no-html", nullptr, "no HTML page", nullptr},
    {FlagId::FullMenu, 0, "full-menu", nullptr, "the page leaves the player's full right-click menu", nullptr},
    {FlagId::NoFullMenu, 0, "no-full-menu", nullptr, "the page asks the player for its short menu", nullptr},
    {FlagId::Ruffle, 0, "ruffle", "URL", "the page loads the Ruffle player from URL (its ruffle.js)", nullptr},
    {FlagId::NoRuffle, 0, "no-ruffle", nullptr, "the page loads no player of its own", nullptr},
    {FlagId::SaveOptions, 0, "save-options", nullptr, "store the movie options given with this command",
     "Stored options:"},
    {FlagId::ShowOptions, 0, "show-options", nullptr, "print the stored options", nullptr},
    {FlagId::Help, 'h', "help", nullptr, "print this help", "Other:"},
    {FlagId::Version, 0, "version", nullptr, "print the version", nullptr},
};
const size_t kFlagCount = sizeof kFlags / sizeof kFlags[0];

const char* LongFlagName(FlagId id) {
  for (size_t i = 0; i < kFlagCount; ++i)
    if (kFlags[i].id == id) return kFlags[i].longName;
  return "";
}

namespace {

// The value of that name already set by an earlier flag, or a new one.
StoredValue& ValueNamed(std::vector<StoredValue>& values, const char* name) {
  for (StoredValue& v : values)
    if (v.name == name) return v;
  values.emplace_back();
  values.back().name = name;
  return values.back();
}

void SetNumber(std::vector<StoredValue>& values, const char* name, int32_t number) {
  ValueNamed(values, name).number = number;
}

void SetText(std::vector<StoredValue>& values, const char* name, const std::string& text) {
  StoredValue& v = ValueNamed(values, name);
  v.text = text;
  v.isText = true;
}

// A whole decimal number in [low, high].
bool ReadCount(const std::string& text, int low, int high, int& out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  long n = std::strtol(text.c_str(), nullptr, 10);
  if (n < low || n > high) return false;
  out = static_cast<int>(n);
  return true;
}

// The option flags' effect on the stored values; a false result is a bad value.
bool ApplyFlag(const FlagSpec& flag, const std::string& value, CommandLine& c) {
  std::vector<StoredValue>& o = c.overrides;
  int n = 0;
  switch (flag.id) {
    case FlagId::OutputDir:
      if (value.empty()) return false;
      c.outputDir = value;
      return true;
    case FlagId::FilesFrom:
      if (value.empty()) return false;
      c.filesFrom = value;
      return true;
    case FlagId::Null: c.nullSeparated = true; return true;
    case FlagId::Jobs:
      if (!ReadCount(value, 1, kMaxJobs, n)) return false;
      c.jobs = n;
      return true;
    case FlagId::Quiet: c.quiet = true; return true;
    case FlagId::Loop:
      if (!ReadCount(value, 1, kMaxPlayCount, n)) return false;
      SetNumber(o, "OptionChangeLoop", 1);
      SetNumber(o, "OptionLoopForever", 0);
      SetNumber(o, "OptionLoopValue", n);
      return true;
    case FlagId::LoopForever:
      SetNumber(o, "OptionChangeLoop", 1);
      SetNumber(o, "OptionLoopForever", 1);
      return true;
    case FlagId::Url:
      if (value.size() > kMaxUrlBytes || value.find_first_of("\r\n") != std::string::npos) return false;
      SetNumber(o, "OptionURL", 1);
      SetText(o, kLinkTextValue, value);
      return true;
    case FlagId::Ruffle:
      // A longer one would not come back from the store; control characters
      // have no place in an address.
      if (value.empty() || value.size() > kMaxRuffleUrlBytes) return false;
      for (char ch : value)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) return false;
      SetText(o, kRuffleValue, value);
      return true;
    case FlagId::NoRuffle: SetText(o, kRuffleValue, ""); return true;
    case FlagId::SaveOptions: c.saveOptions = true; return true;
    case FlagId::ShowOptions: c.showOptions = true; return true;
    case FlagId::Help: c.help = true; return true;
    case FlagId::Version: c.version = true; return true;
    default: break;
  }
  // The plain switches of the stored options.
  for (size_t i = 0; i < kStoredOptionCount; ++i) {
    const StoredOption& s = kStoredOptions[i];
    if (flag.id == s.onFlag || flag.id == s.offFlag) {
      SetNumber(o, s.name, flag.id == s.onFlag ? 1 : 0);
      return true;
    }
  }
  return false;
}

const FlagSpec* FindLong(const std::string& name) {
  for (size_t i = 0; i < kFlagCount; ++i)
    if (name == kFlags[i].longName) return &kFlags[i];
  return nullptr;
}

const FlagSpec* FindShort(char name) {
  for (size_t i = 0; i < kFlagCount; ++i)
    if (kFlags[i].shortName != 0 && kFlags[i].shortName == name) return &kFlags[i];
  return nullptr;
}

bool UsageError(CommandLine& c, const std::string& text) {
  c.error = text;
  return false;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& c) {
  c = CommandLine();
  bool flagsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    if (flagsEnded || arg.size() < 2 || arg[0] != '-') {
      c.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      flagsEnded = true;
      continue;
    }
    const FlagSpec* flag = nullptr;
    std::string shown, value;
    bool hasValue = false;
    if (arg[1] == '-') {
      size_t eq = arg.find('=');
      shown = arg.substr(0, eq);
      flag = FindLong(arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2));
      if (flag && eq != std::string::npos) {
        if (!flag->valueName) return UsageError(c, shown + " takes no value");
        value = arg.substr(eq + 1);
        hasValue = true;
      }
    } else {
      shown = arg.substr(0, 2);
      flag = FindShort(arg[1]);
      if (flag && arg.size() > 2) {
        if (!flag->valueName) return UsageError(c, "unknown flag " + arg);
        value = arg.substr(2);
        hasValue = true;
      }
    }
    if (!flag) return UsageError(c, "unknown flag " + shown);
    if (flag->valueName && !hasValue) {
      if (i + 1 >= argc || !argv[i + 1]) return UsageError(c, shown + " needs a value (" + flag->valueName + ")");
      value = argv[++i];
    }
    if (flag->id == FlagId::Ruffle && value.size() > kMaxRuffleUrlBytes)
      return UsageError(c, shown + ": the address is " + std::to_string(value.size()) + " bytes, at most " +
                               std::to_string(kMaxRuffleUrlBytes) + " can be stored");
    if (!ApplyFlag(*flag, value, c))
      return UsageError(c, "bad value for " + shown + ": '" + value + "'");
  }
  if (c.nullSeparated && c.filesFrom.empty() && !c.help && !c.version) return UsageError(c, "-0 (--null) needs --files-from");
  if (c.files.empty() && c.filesFrom.empty() && !c.help && !c.version && !c.saveOptions && !c.showOptions)
    return UsageError(c, "no GIF file given");
  return true;
}

void ApplyOverrides(const std::vector<StoredValue>& overrides, ConversionOptions& options) {
  for (const StoredValue& v : overrides) {
    for (size_t i = 0; i < kStoredOptionCount; ++i) {
      const StoredOption& s = kStoredOptions[i];
      if (v.name != s.name) continue;
      if (v.isText && s.text) options.*s.text = v.text;
      if (!v.isText && s.number) options.*s.number = v.number;
    }
  }
  // The link text counts only while the link is on, as when it is read.
  if (!options.useLinkUrl) options.linkUrl.clear();
}

namespace {

std::string FlagColumn(const FlagSpec& f) {
  std::string s = f.shortName ? std::string("  -") + f.shortName + ", " : std::string("      ");
  s += "--";
  s += f.longName;
  if (f.valueName) {
    s += ' ';
    s += f.valueName;
  }
  return s;
}

}  // namespace

std::string HelpText(const std::string& storeFolder) {
  std::string t =
      "usage: tervano [OPTIONS] FILE...\n"
      "       tervano [OPTIONS] --files-from LIST [-0] [FILE...]\n"
      "       tervano -quite FILE\n"
      "Converts animated GIF files into Flash movies (SWF), in the order given,\n"
      "each movie beside its GIF (NAME.swf) or in the output folder.\n";
  size_t width = 0;
  for (size_t i = 0; i < kFlagCount; ++i) width = std::max(width, FlagColumn(kFlags[i]).size());
  for (size_t i = 0; i < kFlagCount; ++i) {
    const FlagSpec& f = kFlags[i];
    if (f.section) t += std::string("\n") + f.section + "\n";
    std::string column = FlagColumn(f);
    t += column + std::string(width + 2 - column.size(), ' ') + f.help + "\n";
  }
  t +=
      "\n"
      "A movie option not given on the command line is the stored one. The\n"
      "stored options are the registry values of the Windows program, kept in\n"
      "one .reg text file in $TERVANO_CONFIG_DIR, else $XDG_CONFIG_HOME/tervano,\n"
      "else ~/.config/tervano; here: " +
      (storeFolder.empty() ? std::string("(no folder)") : storeFolder) +
      "\n"
      "\"tervano -quite FILE\" converts one file with the stored options only, as\n"
      "the Windows program does: the movie's name is FILE's with its last three\n"
      "characters replaced by \"swf\", and nothing is reported; its exit status\n"
      "is 0 when the file was converted, 1 otherwise.\n"
      "\n"
      "In a --files-from list empty lines are skipped; with -0 every name ends in\n"
      "NUL and an empty name is a file that cannot be read. The list is read as\n"
      "the files are converted, so it may be as long as it likes.\n"
      "\n"
      "Exit status: 0 when every file was converted, 1 when any file failed (the\n"
      "others are still converted), 2 for a usage error.\n";
  return t;
}

namespace {

// text in single quotes, so the shown flag can be pasted into a shell
std::string ShellQuoted(const std::string& text) {
  std::string s = "'";
  for (char c : text) s += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return s + "'";
}

}  // namespace

std::string DescribeOptions(const ConversionOptions& o) {
  auto line = [](const char* what, const std::string& value, const std::string& flag) {
    std::string s = "  ";
    s += what;
    s += std::string(12 - std::strlen(what), ' ');
    s += value;
    s += std::string(value.size() < 28 ? 28 - value.size() : 1, ' ');
    return s + "--" + flag + "\n";
  };
  std::string loop, loopFlag;
  if (!o.changeLoop) {
    loop = "as the GIF says";
    loopFlag = LongFlagName(FlagId::KeepLoop);
  } else if (o.loopForever) {
    loop = "forever";
    loopFlag = LongFlagName(FlagId::LoopForever);
  } else {
    loop = std::to_string(o.playCount) + (o.playCount == 1 ? " time" : " times");
    loopFlag = std::string(LongFlagName(FlagId::Loop)) + " " + std::to_string(o.playCount);
  }
  std::string t = line("loop", loop, loopFlag);
  if (o.useLinkUrl)
    t += line("link", o.linkUrl.empty() ? "empty address" : o.linkUrl,
              std::string(LongFlagName(FlagId::Url)) + " " + ShellQuoted(o.linkUrl));
  else
    t += line("link", "none", LongFlagName(FlagId::NoUrl));
  for (size_t i = 0; i < kStoredOptionCount; ++i) {
    const StoredOption& s = kStoredOptions[i];
    if (!s.label) continue;
    bool on = o.*s.number != 0;
    t += line(s.label, on ? s.onText : s.offText, LongFlagName(on ? s.onFlag : s.offFlag));
  }
  if (o.ruffleUrl.empty())
    t += line("ruffle", "none", LongFlagName(FlagId::NoRuffle));
  else
    t += line("ruffle", o.ruffleUrl, std::string(LongFlagName(FlagId::Ruffle)) + " " + ShellQuoted(o.ruffleUrl));
  return t;
}
