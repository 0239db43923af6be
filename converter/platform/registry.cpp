// File-backed registry for systems without one. See registry.h.
//
// A key file looks like a regedit export, so people can read and edit it:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Tervano]
//   "OptionHTML"=dword:00000001
//   "OptionURLName"="http://a.example/\"q\""
//
// Texts are written between quotes with \\ and \" escaped, as raw bytes.
// Data that a quoted text cannot carry exactly (no terminating zero, zeros
// inside, line breaks) and other types are written as hex:/hex(type): with
// the stored bytes as they are. The file name is the key path, lower-cased,
// with "+" between the parts and every byte outside [a-z0-9._-] as %XX.
#ifndef _WIN32

#include "registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

struct RegistryKey {
  std::string root;                // "HKEY_LOCAL_MACHINE"
  std::vector<std::string> parts;  // path below the root, as first spelt
  REGSAM access = 0;
};

namespace {

constexpr size_t kMaxFileBytes = 8u << 20;  // more is not read
constexpr DWORD kMaxDataBytes = 1u << 20;
constexpr size_t kMaxKeyPart = 255;
constexpr size_t kMaxValueName = 16383;
constexpr size_t kMaxFileName = 240;
constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
                                0x00010000 /* DELETE */ |
                                0x00040000 /* WRITE_DAC */ |
                                0x00080000 /* WRITE_OWNER */;

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
};

struct KeyPath {
  std::string root;
  std::vector<std::string> parts;
};

const char* RootName(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (key == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (key == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (key == HKEY_USERS) return "HKEY_USERS";
  return nullptr;
}

char FoldByte(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldByte(a[i]) != FoldByte(b[i])) return false;
  return true;
}

// Appends the parts of a backslash-separated path; false for empty parts or
// parts that are too long.
bool SplitKeyPath(const char* path, std::vector<std::string>& parts) {
  if (!path || !*path) return true;
  const char* start = path;
  for (const char* p = path;; ++p) {
    if (*p == '\\' || *p == '\0') {
      size_t n = static_cast<size_t>(p - start);
      if (n == 0 || n > kMaxKeyPart) return false;
      parts.emplace_back(start, n);
      if (*p == '\0') break;
      start = p + 1;
    }
  }
  return true;
}

// Resolves a handle plus subkey; false with an error code when invalid.
bool ResolveKey(HKEY key, const char* subKey, KeyPath& out, LONG& error) {
  if (!key) {
    error = ERROR_INVALID_HANDLE;
    return false;
  }
  if (const char* root = RootName(key)) {
    out.root = root;
    out.parts.clear();
  } else {
    out.root = key->root;
    out.parts = key->parts;
  }
  if (!SplitKeyPath(subKey, out.parts)) {
    error = ERROR_BADKEY;
    return false;
  }
  return true;
}

REGSAM AccessOf(HKEY key) {
  return RootName(key) ? KEY_ALL_ACCESS : key->access;
}

void AppendEncoded(std::string& out, const std::string& part) {
  static const char kHex[] = "0123456789ABCDEF";
  for (char raw : part) {
    char c = FoldByte(raw);
    unsigned char u = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
        c == '_' || c == '-') {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
}

// File name without ".reg"; subkeys' files start with it plus "+".
std::string FileStem(const KeyPath& path) {
  std::string stem;
  AppendEncoded(stem, path.root);
  for (const std::string& part : path.parts) {
    stem += '+';
    AppendEncoded(stem, part);
  }
  return stem;
}

std::string DisplayPath(const KeyPath& path) {
  std::string text = path.root;
  for (const std::string& part : path.parts) {
    text += '\\';
    text += part;
  }
  return text;
}

bool IsDirectory(const std::string& folder) {
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return false;
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    std::string prefix = folder.substr(0, i);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return IsDirectory(folder);
}

bool FileExists(const std::string& file) {
  struct stat st;
  return stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EndsWith(const std::string& text, const char* suffix) {
  size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

bool HasSubkeys(const std::string& folder, const std::string& stem) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  std::string prefix = stem + "+";
  bool found = false;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) == 0 && EndsWith(name, ".reg")) {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

bool KeyExists(const std::string& folder, const KeyPath& path) {
  if (path.parts.empty()) return true;
  std::string stem = FileStem(path);
  return FileExists(folder + "/" + stem + ".reg") || HasSubkeys(folder, stem);
}

// --- Reading key files -----------------------------------------------------

bool ReadWholeFile(const std::string& file, std::string& text) {
  text.clear();
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  char buffer[8192];
  size_t n;
  while (text.size() < kMaxFileBytes &&
         (n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    text.append(buffer, n < kMaxFileBytes - text.size() ? n : kMaxFileBytes - text.size());
  std::fclose(f);
  return true;
}

void SkipBlanks(const std::string& s, size_t& i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
}

// Quoted text starting at s[i] == '"'; false when unterminated or when a
// backslash escapes anything but \ or ".
bool ParseQuoted(const std::string& s, size_t& i, std::string& out) {
  out.clear();
  if (i >= s.size() || s[i] != '"') return false;
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return false;
      c = s[++i];
    }
    out += c;
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithAt(const std::string& s, size_t i, const char* word) {
  size_t n = std::strlen(word);
  return s.size() - i >= n && s.compare(i, n, word) == 0;
}

bool OnlyBlanksFrom(const std::string& s, size_t i) {
  SkipBlanks(s, i);
  return i == s.size();
}

bool ParseHexBytes(const std::string& s, size_t i, std::string& out) {
  out.clear();
  SkipBlanks(s, i);
  if (i == s.size()) return true;
  for (;;) {
    SkipBlanks(s, i);
    int hi = i < s.size() ? HexDigit(s[i]) : -1;
    int lo = i + 1 < s.size() ? HexDigit(s[i + 1]) : -1;
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
    SkipBlanks(s, i);
    if (i == s.size()) return true;
    if (s[i] != ',') return false;
    ++i;
  }
}

// Parses the data after '=' of one value line (continuations already joined).
// Returns 1 for a value, 2 for a deletion ("-"), 0 when it cannot be read.
int ParseData(const std::string& s, size_t i, Value& value) {
  SkipBlanks(s, i);
  if (i >= s.size()) return 0;
  if (s[i] == '-') return OnlyBlanksFrom(s, i + 1) ? 2 : 0;
  if (s[i] == '"') {
    std::string text;
    if (!ParseQuoted(s, i, text) || !OnlyBlanksFrom(s, i)) return 0;
    value.type = REG_SZ;
    value.data = text;
    value.data += '\0';
    return 1;
  }
  if (StartsWithAt(s, i, "dword:")) {
    i += 6;
    uint32_t number = 0;
    size_t digits = 0;
    for (; i < s.size() && HexDigit(s[i]) >= 0; ++i, ++digits)
      number = number * 16 + static_cast<uint32_t>(HexDigit(s[i]));
    if (digits == 0 || digits > 8 || !OnlyBlanksFrom(s, i)) return 0;
    value.type = REG_DWORD;
    value.data.clear();
    for (int b = 0; b < 4; ++b) value.data += static_cast<char>((number >> (8 * b)) & 0xFF);
    return 1;
  }
  if (StartsWithAt(s, i, "hex:")) {
    value.type = REG_BINARY;
    return ParseHexBytes(s, i + 4, value.data) ? 1 : 0;
  }
  if (StartsWithAt(s, i, "hex(")) {
    i += 4;
    uint32_t type = 0;
    size_t digits = 0;
    for (; i < s.size() && HexDigit(s[i]) >= 0; ++i, ++digits)
      type = type * 16 + static_cast<uint32_t>(HexDigit(s[i]));
    if (digits == 0 || digits > 8 || !StartsWithAt(s, i, "):")) return 0;
    value.type = type;
    return ParseHexBytes(s, i + 2, value.data) ? 1 : 0;
  }
  return 0;
}

Value* FindValue(std::vector<Value>& values, const std::string& name) {
  for (Value& v : values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

void EraseValue(std::vector<Value>& values, const std::string& name) {
  for (size_t k = 0; k < values.size(); ++k) {
    if (SameName(values[k].name, name)) {
      values.erase(values.begin() + static_cast<long>(k));
      return;
    }
  }
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text, start, stop - start);
    start = end + 1;
  }
  return lines;
}

// Everything that is not a readable value line is skipped; later lines for
// the same name win, as when regedit imports a file.
std::vector<Value> ParseKeyText(const std::string& text) {
  std::vector<Value> values;
  std::vector<std::string> lines = SplitLines(text);
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string line = lines[n];
    size_t i = 0;
    SkipBlanks(line, i);
    if (i >= line.size()) continue;
    Value value;
    if (line[i] == '@') {
      ++i;
    } else if (line[i] == '"') {
      if (!ParseQuoted(line, i, value.name)) continue;
    } else {
      continue;  // header, key line, comment or garbage
    }
    SkipBlanks(line, i);
    if (i >= line.size() || line[i] != '=') continue;
    size_t at = i + 1;
    SkipBlanks(line, at);
    if (StartsWithAt(line, at, "hex")) {
      // hex data goes on over lines that end in a backslash
      while (n + 1 < lines.size()) {
        size_t end = line.find_last_not_of(" \t");
        if (end == std::string::npos || line[end] != '\\') break;
        line.erase(end);
        const std::string& next = lines[++n];
        size_t from = next.find_first_not_of(" \t");
        if (from != std::string::npos) line.append(next, from, std::string::npos);
      }
    }
    int kind = ParseData(line, i + 1, value);
    if (kind == 0) continue;
    EraseValue(values, value.name);
    if (kind == 1) values.push_back(value);
  }
  return values;
}

std::vector<Value> LoadValues(const std::string& file) {
  std::string text;
  if (!ReadWholeFile(file, text)) return {};
  return ParseKeyText(text);
}

// --- Writing key files -----------------------------------------------------

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

bool FitsQuotedText(const Value& v) {
  if (v.type != REG_SZ || v.data.empty() || v.data.back() != '\0') return false;
  for (size_t k = 0; k + 1 < v.data.size(); ++k) {
    char c = v.data[k];
    if (c == '\0' || c == '\r' || c == '\n') return false;
  }
  return true;
}

std::string SerialiseKey(const KeyPath& path, const std::vector<Value>& values) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "Windows Registry Editor Version 5.00\n\n[";
  out += DisplayPath(path);
  out += "]\n";
  for (const Value& v : values) {
    std::string line;
    if (v.name.empty())
      line = "@";
    else
      AppendQuoted(line, v.name);
    line += '=';
    if (FitsQuotedText(v)) {
      AppendQuoted(line, v.data.substr(0, v.data.size() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
      uint32_t number = 0;
      for (int b = 3; b >= 0; --b)
        number = (number << 8) | static_cast<unsigned char>(v.data[static_cast<size_t>(b)]);
      char digits[16];
      std::snprintf(digits, sizeof digits, "dword:%08x", number);
      line += digits;
    } else {
      if (v.type == REG_BINARY) {
        line += "hex:";
      } else {
        char head[24];
        std::snprintf(head, sizeof head, "hex(%x):", static_cast<unsigned>(v.type));
        line += head;
      }
      for (size_t k = 0; k < v.data.size(); ++k) {
        unsigned char b = static_cast<unsigned char>(v.data[k]);
        line += kHex[b >> 4];
        line += kHex[b & 15];
        if (k + 1 < v.data.size()) {
          line += ',';
          if (line.size() > 76) {  // regedit's wrapping
            out += line;
            out += "\\\n";
            line = "  ";
          }
        }
      }
    }
    out += line;
    out += '\n';
  }
  return out;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Replaces file with data: a temporary file in the same folder, flushed to
// disk, then renamed over the old one, so readers see old or new, never half.
bool ReplaceFile(const std::string& folder, const std::string& file,
                 const std::string& data) {
  std::string temp = file + ".tmp-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(name.data(), file.c_str()) == 0;
  if (!ok) {
    unlink(name.data());
    return false;
  }
  SyncFolder(folder);
  return true;
}

// Holds the store's lock file for one read-modify-write.
class StoreLock {
 public:
  explicit StoreLock(const std::string& folder) {
    std::string file = folder + "/registry.lock";
    fd_ = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    int r;
    do {
      r = flock(fd_, LOCK_EX);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

bool FolderWritable(const std::string& folder) {
  return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
}

// Changes the values of an existing key under the store lock. change returns
// ERROR_SUCCESS to write the result, anything else to leave the file alone.
template <typename Change>
LONG ModifyKey(const KeyPath& path, Change change) {
  std::string folder = RegistryStoreFolder();
  if (!IsDirectory(folder)) return ERROR_KEY_DELETED;
  std::string stem = FileStem(path);
  if (stem.size() + 4 > kMaxFileName) return ERROR_BADKEY;
  StoreLock lock(folder);
  if (!lock.held()) return ERROR_ACCESS_DENIED;
  if (!KeyExists(folder, path)) return ERROR_KEY_DELETED;
  std::string file = folder + "/" + stem + ".reg";
  std::vector<Value> values = LoadValues(file);
  LONG result = change(values);
  if (result != ERROR_SUCCESS) return result;
  return ReplaceFile(folder, file, SerialiseKey(path, values)) ? ERROR_SUCCESS
                                                               : ERROR_CANTWRITE;
}

bool ValidValueName(const char* name) {
  if (!name) return true;
  size_t n = std::strlen(name);
  return n <= kMaxValueName && !std::strchr(name, '\r') && !std::strchr(name, '\n');
}

HKEY NewHandle(const KeyPath& path, REGSAM access) {
  RegistryKey* key = new (std::nothrow) RegistryKey;
  if (!key) return nullptr;
  key->root = path.root;
  key->parts = path.parts;
  key->access = access;
  return key;
}

LONG CreateKey(HKEY parent, LPCSTR subKey, REGSAM access, PHKEY result,
               LPDWORD disposition) {
  KeyPath path;
  LONG error;
  if (!ResolveKey(parent, subKey, path, error)) return error;
  if (FileStem(path).size() + 4 > kMaxFileName) return ERROR_BADKEY;
  std::string folder = RegistryStoreFolder();
  if (!MakeFolders(folder)) return ERROR_ACCESS_DENIED;
  if ((access & kWriteAccess) && !FolderWritable(folder)) return ERROR_ACCESS_DENIED;
  DWORD how = REG_OPENED_EXISTING_KEY;
  if (!KeyExists(folder, path)) {
    StoreLock lock(folder);
    if (!lock.held()) return ERROR_ACCESS_DENIED;
    if (!KeyExists(folder, path)) {
      std::string file = folder + "/" + FileStem(path) + ".reg";
      if (!ReplaceFile(folder, file, SerialiseKey(path, {}))) return ERROR_ACCESS_DENIED;
      how = REG_CREATED_NEW_KEY;
    }
  }
  HKEY key = NewHandle(path, access);
  if (!key) return ERROR_OUTOFMEMORY;
  *result = key;
  if (disposition) *disposition = how;
  return ERROR_SUCCESS;
}

LONG OpenKey(HKEY parent, LPCSTR subKey, REGSAM access, PHKEY result) {
  KeyPath path;
  LONG error;
  if (!ResolveKey(parent, subKey, path, error)) return error;
  if (RootName(parent) && path.parts.empty()) {  // a root opens as itself
    *result = parent;
    return ERROR_SUCCESS;
  }
  std::string folder = RegistryStoreFolder();
  if (!IsDirectory(folder) || !KeyExists(folder, path)) return ERROR_FILE_NOT_FOUND;
  if ((access & kWriteAccess) && !FolderWritable(folder)) return ERROR_ACCESS_DENIED;
  HKEY key = NewHandle(path, access);
  if (!key) return ERROR_OUTOFMEMORY;
  *result = key;
  return ERROR_SUCCESS;
}

LONG QueryValue(HKEY key, LPCSTR valueName, LPDWORD type, LPBYTE data,
                LPDWORD dataSize) {
  if (!(AccessOf(key) & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  KeyPath path;
  LONG error;
  if (!ResolveKey(key, nullptr, path, error)) return error;
  std::string folder = RegistryStoreFolder();
  if (!IsDirectory(folder) || !KeyExists(folder, path)) return ERROR_KEY_DELETED;
  std::vector<Value> values = LoadValues(folder + "/" + FileStem(path) + ".reg");
  const Value* found = FindValue(values, valueName ? valueName : "");
  if (!found) return ERROR_FILE_NOT_FOUND;
  DWORD size = static_cast<DWORD>(found->data.size());
  if (type) *type = found->type;
  if (data && *dataSize < size) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  if (data && size) std::memcpy(data, found->data.data(), size);
  if (dataSize) *dataSize = size;
  return ERROR_SUCCESS;
}

LONG SetValue(HKEY key, LPCSTR valueName, DWORD type, const BYTE* data,
              DWORD dataSize) {
  if (!ValidValueName(valueName) || dataSize > kMaxDataBytes) return ERROR_INVALID_PARAMETER;
  if (!(AccessOf(key) & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  KeyPath path;
  LONG error;
  if (!ResolveKey(key, nullptr, path, error)) return error;
  Value value;
  value.name = valueName ? valueName : "";
  value.type = type;
  value.data.assign(reinterpret_cast<const char*>(data), dataSize);
  return ModifyKey(path, [&](std::vector<Value>& values) {
    if (Value* old = FindValue(values, value.name)) {
      old->type = value.type;  // the name keeps its first spelling
      old->data = value.data;
    } else {
      values.push_back(value);
    }
    return ERROR_SUCCESS;
  });
}

LONG DeleteValue(HKEY key, LPCSTR valueName) {
  if (!(AccessOf(key) & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  KeyPath path;
  LONG error;
  if (!ResolveKey(key, nullptr, path, error)) return error;
  std::string name = valueName ? valueName : "";
  return ModifyKey(path, [&](std::vector<Value>& values) {
    if (!FindValue(values, name)) return ERROR_FILE_NOT_FOUND;
    EraseValue(values, name);
    return ERROR_SUCCESS;
  });
}

LONG DeleteKey(HKEY parent, LPCSTR subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  KeyPath path;
  LONG error;
  if (!ResolveKey(parent, subKey, path, error)) return error;
  if (path.parts.empty()) return ERROR_ACCESS_DENIED;
  std::string folder = RegistryStoreFolder();
  if (!IsDirectory(folder)) return ERROR_FILE_NOT_FOUND;
  StoreLock lock(folder);
  if (!lock.held()) return ERROR_ACCESS_DENIED;
  std::string stem = FileStem(path);
  if (HasSubkeys(folder, stem)) return ERROR_ACCESS_DENIED;
  std::string file = folder + "/" + stem + ".reg";
  if (!FileExists(file)) return ERROR_FILE_NOT_FOUND;
  if (unlink(file.c_str()) != 0) return ERROR_ACCESS_DENIED;
  SyncFolder(folder);
  return ERROR_SUCCESS;
}

}  // namespace

std::string RegistryStoreFolder() {
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

std::string RegistryKeyFileName(const char* root, const char* path) {
  KeyPath key;
  key.root = root ? root : "";
  if (key.root.empty() || !SplitKeyPath(path, key.parts)) return std::string();
  std::string name = FileStem(key) + ".reg";
  return name.size() > kMaxFileName ? std::string() : name;
}

// The API functions catch everything: nothing may leave them but a code.

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR,
                     DWORD, REGSAM access, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
  if (reserved || !result) return ERROR_INVALID_PARAMETER;
  try {
    return CreateKey(key, subKey, access, result, disposition);
  } catch (...) {
    return ERROR_OUTOFMEMORY;
  }
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  try {
    return OpenKey(key, subKey, access, result);
  } catch (...) {
    return ERROR_OUTOFMEMORY;
  }
}

LONG RegCloseKey(HKEY key) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (!RootName(key)) delete key;
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
  try {
    return DeleteKey(key, subKey);
  } catch (...) {
    return ERROR_OUTOFMEMORY;
  }
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  try {
    return QueryValue(key, valueName, type, data, dataSize);
  } catch (...) {
    return ERROR_OUTOFMEMORY;
  }
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type,
                    const BYTE* data, DWORD dataSize) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (reserved) return ERROR_INVALID_PARAMETER;
  if (!data && dataSize) return ERROR_NOACCESS;
  try {
    return SetValue(key, valueName, type, data, dataSize);
  } catch (...) {
    return ERROR_OUTOFMEMORY;
  }
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
  if (!key) return ERROR_INVALID_HANDLE;
  try {
    return DeleteValue(key, valueName);
  } catch (...) {
    return ERROR_OUTOFMEMORY;
  }
}

#endif  // !_WIN32
