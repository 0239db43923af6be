// Registry keys as files, for systems without a registry. A key file is a
// regedit export ("Windows Registry Editor Version 5.00", the key line, then
// lines like "OptionHTML"=dword:00000001), so people can read, edit and
// import it. Texts go between quotes with \\ and \" escaped, as raw bytes;
// data that a quoted text cannot carry (no terminating zero, zeros or line
// breaks inside) and other types go as hex:/hex(type): bytes. The file name
// is the key path, lower-cased, "+" between the parts, bytes outside
// [a-z0-9._-] as %XX.
#ifndef _WIN32

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "registry_key_data.h"
#include "registry_keys.h"
#include "system_reason.h"

namespace {

constexpr size_t kMaxFileBytes = 8u << 20;  // more is not read
constexpr size_t kMaxKeyPart = 255, kMaxFileName = 240;

struct Value {
  std::string name;
  uint32_t type = 0;
  std::string data;
};

// Names fold ASCII letters only, whatever the locale.
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return Lower(x) == Lower(y); });
}

}  // namespace

std::string KeyStoreFolder() {
  std::string folder;
  const char* own = std::getenv("TERVANO_CONFIG_DIR");
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (own && *own) {
    folder = own;
  } else if (xdg && xdg[0] == '/') {  // relative values are to be ignored
    folder = std::string(xdg) + "/tervano";
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* user = getpwuid(getuid());
      home = user ? user->pw_dir : nullptr;
    }
    if (!home || !*home) return std::string();
    folder = std::string(home) + "/.config/tervano";
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

namespace {

// The key's file in folder; empty for a path with an empty or over-long
// part, or when the name would be too long.
std::string KeyFile(const std::string& folder, const char* keyPath) {
  std::string path = keyPath ? keyPath : "";
  if (folder.empty() || path.empty()) return std::string();
  std::string name = "hkey_local_machine+";
  size_t partStart = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    char c = i < path.size() ? Lower(path[i]) : '\\';
    if (c == '\\') {
      if (i == partStart || i - partStart > kMaxKeyPart) return std::string();
      partStart = i + 1;
      name += i < path.size() ? "+" : ".reg";
    } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || std::strchr("._-", c)) {
      name += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      name += escaped;
    }
  }
  return name.size() > kMaxFileName ? std::string() : folder + "/" + name;
}

// --- Reading ---------------------------------------------------------------

// How many hex digits stand at s[i] on.
size_t HexRun(const std::string& s, size_t i) {
  size_t n = 0;
  while (i + n < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + n]))) ++n;
  return n;
}

// Quoted text at s[i]; false when unterminated or when a backslash escapes
// anything but \ or ".
bool ParseQuoted(const std::string& s, size_t& i, std::string& out) {
  if (s.compare(i, 1, "\"") != 0) return false;
  for (++i; i < s.size(); ++i) {
    if (s[i] == '"') {
      ++i;
      return true;
    }
    if (s[i] == '\\') {
      if (i + 1 == s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return false;
      ++i;
    }
    out += s[i];
  }
  return false;
}

// Byte pairs "xx,xx,..." from s[i] to the end.
bool ParseHexBytes(const std::string& s, size_t i, std::string& out) {
  for (; i < s.size(); i += 3) {
    if (HexRun(s, i) != 2 || (i + 2 < s.size() && (s[i + 2] != ',' || i + 3 == s.size())))
      return false;
    out += static_cast<char>(std::strtoul(s.substr(i, 2).c_str(), nullptr, 16));
  }
  return true;
}

// One value line, "name"=data or @=data; false when it cannot be read.
bool ParseValue(const std::string& s, Value& v) {
  size_t i = 0;
  if (s.compare(0, 2, "@=") == 0) i = 1;
  else if (!ParseQuoted(s, i, v.name)) return false;
  if (s.compare(i++, 1, "=") != 0) return false;
  if (s.compare(i, 1, "\"") == 0) {
    v.type = kRegText;
    bool ok = ParseQuoted(s, i, v.data) && i == s.size();
    v.data += '\0';
    return ok;
  }
  size_t digits = HexRun(s, i + 6);
  if (s.compare(i, 6, "dword:") == 0) {
    if (digits == 0 || digits > 8 || i + 6 + digits != s.size()) return false;
    uint32_t number = static_cast<uint32_t>(std::strtoul(s.c_str() + i + 6, nullptr, 16));
    v.type = kRegNumber;
    for (int b = 0; b < 4; ++b) v.data += static_cast<char>(number >> (8 * b));
    return true;
  }
  v.type = kRegBinary;
  if (s.compare(i, 4, "hex:") == 0) return ParseHexBytes(s, i + 4, v.data);
  digits = HexRun(s, i + 4);
  if (s.compare(i, 4, "hex(") != 0 || digits == 0 || digits > 8) return false;
  v.type = static_cast<uint32_t>(std::strtoul(s.c_str() + i + 4, nullptr, 16));
  i += 4 + digits;
  return s.compare(i, 2, "):") == 0 && ParseHexBytes(s, i + 2, v.data);
}

void EraseValue(std::vector<Value>& values, const std::string& name) {
  values.erase(std::remove_if(values.begin(), values.end(),
                              [&](const Value& v) { return SameName(v.name, name); }),
               values.end());
}

// Lines without a readable value (header, key line, damage) are skipped; a
// later line for a name wins, as when regedit imports the file.
std::vector<Value> LoadValues(const std::string& file) {
  std::vector<Value> values;
  FILE* f = file.empty() ? nullptr : std::fopen(file.c_str(), "rb");
  if (!f) return values;
  std::string text;
  char buffer[8192];
  size_t n;
  while (text.size() < kMaxFileBytes && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    text.append(buffer, n);
  std::fclose(f);
  std::istringstream in(text);
  std::string line, next;
  auto getLine = [&](std::string& out) {
    if (!std::getline(in, out)) return false;
    out.erase(out.find_last_not_of(" \t\r") + 1);  // npos + 1 erases all
    out.erase(0, std::min(out.find_first_not_of(" \t"), out.size()));
    return true;
  };
  while (getLine(line)) {
    // hex data goes on over lines that end in a backslash
    while (line.find("=hex") != std::string::npos && line.back() == '\\' && getLine(next))
      line.replace(line.size() - 1, 1, next);
    Value v;
    if (!ParseValue(line, v)) continue;
    EraseValue(values, v.name);
    values.push_back(v);
  }
  return values;
}

// --- Writing ---------------------------------------------------------------

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

std::string KeyText(const char* keyPath, const std::vector<Value>& values) {
  std::string out = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\";
  out += keyPath;
  out += "]\n";
  for (const Value& v : values) {
    std::string line;
    if (v.name.empty()) line = "@";
    else AppendQuoted(line, v.name);
    line += '=';
    char bytes[24];
    size_t textEnd = v.data.find_first_of(std::string("\0\r\n", 3));
    if (v.type == kRegText && !v.data.empty() && textEnd == v.data.size() - 1) {
      AppendQuoted(line, v.data.substr(0, v.data.size() - 1));
    } else if (v.type == kRegNumber && v.data.size() == 4) {
      uint32_t n = 0;
      for (int b = 3; b >= 0; --b) n = (n << 8) | static_cast<unsigned char>(v.data[b]);
      std::snprintf(bytes, sizeof bytes, "dword:%08x", static_cast<unsigned>(n));
      line += bytes;
    } else {
      std::snprintf(bytes, sizeof bytes, "hex(%x):", static_cast<unsigned>(v.type));
      line += v.type == kRegBinary ? "hex:" : bytes;
      for (size_t k = 0; k < v.data.size(); ++k) {
        std::snprintf(bytes, sizeof bytes, k + 1 < v.data.size() ? "%02x," : "%02x",
                      static_cast<unsigned char>(v.data[k]));
        line += bytes;
        if (line.size() > 76 && k + 1 < v.data.size()) {  // regedit's wrapping
          out += line + "\\\n";
          line = "  ";
        }
      }
    }
    out += line + '\n';
  }
  return out;
}

KeyResult Failed(int code) { return {KeyStatus::kFailed, SystemReason(code)}; }

// Why a key path names no file.
KeyResult NoFile(const std::string& folder) {
  if (folder.empty()) return {KeyStatus::kFailed, "no folder for the settings (HOME is not set)"};
  return {KeyStatus::kBadName, "the key path names no file"};
}

// A temporary file in the same folder, flushed to disk, then renamed over
// the old one: readers see the old file or the new one, never half of one.
KeyResult ReplaceFile(const std::string& folder, const std::string& file, const std::string& data) {
  std::string temp = file + ".tmp-XXXXXX";
  int fd = mkstemp(&temp[0]);
  if (fd < 0) return Failed(errno);
  size_t done = 0;
  int error = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (!error && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && !error) error = errno;
  if (!error && rename(temp.c_str(), file.c_str()) != 0) error = errno;
  if (error) {
    unlink(temp.c_str());
    return Failed(error);
  }
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);  // makes the rename itself durable
    close(dir);
  }
  return {};
}

// Nothing but a result leaves the functions of this file; what can throw
// here is running out of memory.
template <typename Result, typename Body>
Result Guarded(Result onThrow, Body body) {
  try {
    return body();
  } catch (...) {
    return onThrow;
  }
}

// Makes the folder and runs body while holding the store's lock file
// (flock), so that changes from all processes and threads follow one another.
template <typename Body>
KeyResult Locked(const std::string& folder, Body body) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if ((i == folder.size() || folder[i] == '/') &&
        mkdir(folder.substr(0, i).c_str(), 0700) != 0 && errno != EEXIST)
      return Failed(errno);
  }
  struct stat folderState;
  if (stat(folder.c_str(), &folderState) != 0) return Failed(errno);
  if (!S_ISDIR(folderState.st_mode)) return Failed(ENOTDIR);
  if (access(folder.c_str(), W_OK | X_OK) != 0) return Failed(errno);
  int fd = open((folder + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Failed(errno);
  int locked;
  while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  KeyResult result = locked == 0 ? Guarded(Failed(ENOMEM), body) : Failed(errno);
  close(fd);  // releases the lock
  return result;
}

// Lets change edit the key's values under the lock; change(values, exists)
// says whether to write them back.
template <typename Change>
KeyResult ChangeKey(const char* keyPath, Change change) {
  return Guarded(Failed(ENOMEM), [&] {
    std::string folder = KeyStoreFolder();
    std::string file = KeyFile(folder, keyPath);
    if (file.empty()) return NoFile(folder);
    return Locked(folder, [&] {
      std::vector<Value> values = LoadValues(file);
      if (!change(values, access(file.c_str(), F_OK) == 0)) return KeyResult();
      return ReplaceFile(folder, file, KeyText(keyPath, values));
    });
  });
}

}  // namespace

std::string KeyFilePath(const char* keyPath) {
  try {
    return KeyFile(KeyStoreFolder(), keyPath);
  } catch (...) {
    return std::string();
  }
}

bool ReadKeyData(const char* keyPath, const char* valueName, uint32_t& type, char* data,
                 size_t capacity, size_t& size) {
  size = 0;
  return Guarded(false, [&] {
    std::string name = valueName ? valueName : "";
    for (const Value& v : LoadValues(KeyFile(KeyStoreFolder(), keyPath))) {
      if (!SameName(v.name, name) || v.data.size() > capacity) continue;
      type = v.type;
      size = v.data.size();
      std::copy(v.data.begin(), v.data.end(), data);
      return true;
    }
    return false;
  });
}

KeyResult WriteKeyData(const char* keyPath, const char* valueName, uint32_t type, const char* data,
                       size_t size) {
  if (valueName && std::strpbrk(valueName, "\r\n"))  // would break its line
    return {KeyStatus::kBadName, "a line break in the value name"};
  return ChangeKey(keyPath, [&](std::vector<Value>& values, bool) {
    Value value{valueName ? valueName : "", type, std::string(data, size)};
    for (Value& v : values) {
      if (SameName(v.name, value.name)) {  // the name keeps its first spelling
        v.type = value.type;
        v.data = value.data;
        return true;
      }
    }
    values.push_back(value);
    return true;
  });
}

KeyResult DeleteKeyValue(const char* keyPath, const char* valueName) {
  return ChangeKey(keyPath, [&](std::vector<Value>& values, bool) {
    size_t before = values.size();
    EraseValue(values, valueName ? valueName : "");
    return values.size() != before;
  });
}

KeyResult CreateKey(const char* keyPath) {
  return ChangeKey(keyPath, [](std::vector<Value>&, bool exists) { return !exists; });
}

bool KeyExists(const char* keyPath) {
  return Guarded(false, [&] {
    std::string file = KeyFile(KeyStoreFolder(), keyPath);
    return !file.empty() && access(file.c_str(), F_OK) == 0;
  });
}

KeyResult DeleteKey(const char* keyPath) {
  return Guarded(Failed(ENOMEM), [&] {
    std::string folder = KeyStoreFolder();
    std::string file = KeyFile(folder, keyPath);
    if (file.empty()) return NoFile(folder);
    if (access(file.c_str(), F_OK) != 0) return KeyResult();
    return Locked(folder, [&] {
      return unlink(file.c_str()) == 0 || errno == ENOENT ? KeyResult() : Failed(errno);
    });
  });
}

#endif  // !_WIN32
