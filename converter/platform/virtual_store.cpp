#ifdef _WIN32
#include "virtual_store.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Value {
  std::string name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

// The store of each view: the 32-bit program's on 64-bit Windows, its own
// on 32-bit Windows.
std::vector<std::string> StorePaths(const char* keyPath) {
  const char prefix[] = "Software\\";
  const size_t length = sizeof prefix - 1;
  if (std::strlen(keyPath) <= length || _strnicmp(keyPath, prefix, length) != 0) return {};
  const std::string rest = keyPath + length;
  const std::string store = "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\";
  return {store + "WOW6432Node\\" + rest, store + rest};
}

std::vector<Value> ValuesOf(HKEY key) {
  std::vector<Value> values;
  DWORD count = 0, longestName = 0, largest = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                       &largest, nullptr, nullptr) != ERROR_SUCCESS)
    return values;
  for (DWORD i = 0; i < count; ++i) {
    Value value;
    std::vector<char> name(longestName + 1u);
    value.data.resize(largest);
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = largest;
    if (RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS)
      continue;
    value.name.assign(name.data(), nameLength);
    value.data.resize(size);
    values.push_back(std::move(value));
  }
  return values;
}

bool Has(HKEY key, const std::string& name) {
  return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool Set(HKEY key, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
  return RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())) ==
         ERROR_SUCCESS;
}

// A count as the program stores it: up to four little-endian bytes.
long CountOf(const Value* value) {
  if (!value) return 0;
  unsigned long count = 0;
  for (size_t i = 0; i < value->data.size() && i < 4; ++i) count |= static_cast<unsigned long>(value->data[i]) << (8 * i);
  return static_cast<long>(count);
}

long CountIn(HKEY key, const char* name) {
  DWORD count = 0, size = sizeof count;
  return RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size) == ERROR_SUCCESS
             ? static_cast<long>(count)
             : 0;
}

std::vector<BYTE> CountBytes(long count) {
  DWORD value = static_cast<DWORD>(count);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
  return std::vector<BYTE>(bytes, bytes + sizeof value);
}

std::string Number(long n) {
  char text[16];
  std::snprintf(text, sizeof text, "%ld", n);
  return text;
}

// Moves one store's values into user; false when any stays behind.
bool MoveStore(HKEY store, HKEY user, const char* listCountName) {
  std::vector<Value> values = ValuesOf(store);
  auto find = [&](const std::string& name) -> const Value* {
    for (const Value& v : values)
      if (_stricmp(v.name.c_str(), name.c_str()) == 0) return &v;
    return nullptr;
  };
  bool whole = true;
  // The list first, in its own order, after the per-user one.
  const long pending = CountOf(find(listCountName));
  long last = CountIn(user, listCountName);
  for (long n = 1; n <= pending && n <= 10000; ++n) {
    const Value* item = find(Number(n));
    if (!item) continue;
    if (Set(user, Number(last + 1), item->type, item->data) &&
        Set(user, listCountName, REG_DWORD, CountBytes(last + 1))) {
      ++last;
      RegDeleteValueA(store, item->name.c_str());
    } else {
      whole = false;
    }
  }
  if (whole) RegDeleteValueA(store, listCountName);
  for (const Value& value : values) {
    if (_stricmp(value.name.c_str(), listCountName) == 0) continue;
    // A number is a list item: moved above, or a stale one past the count
    // that must not turn up in the user's list later.
    const bool item = !value.name.empty() && value.name.find_first_not_of("0123456789") == std::string::npos;
    if (item) {
      const long n = std::strtol(value.name.c_str(), nullptr, 10);
      if (n == 0 || n > pending) RegDeleteValueA(store, value.name.c_str());
      continue;
    }
    if (Has(user, value.name) || Set(user, value.name, value.type, value.data))
      RegDeleteValueA(store, value.name.c_str());
    else
      whole = false;
  }
  return whole;
}

}  // namespace

VirtualStoreMove MoveVirtualizedValues(const char* keyPath, const char* listCountName) {
  VirtualStoreMove result = VirtualStoreMove::kNothingThere;
  for (const std::string& path : StorePaths(keyPath)) {
    HKEY store = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &store) !=
        ERROR_SUCCESS)
      continue;
    DWORD count = 0;
    RegQueryInfoKeyA(store, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                     nullptr, nullptr);
    if (count == 0) {
      RegCloseKey(store);
      continue;
    }
    HKEY user = nullptr;
    bool whole = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &user, nullptr) == ERROR_SUCCESS;
    if (whole) {
      whole = MoveStore(store, user, listCountName);
      RegCloseKey(user);
    }
    RegCloseKey(store);
    if (!whole) return VirtualStoreMove::kIncomplete;
    result = VirtualStoreMove::kMoved;
  }
  return result;
}

#endif  // _WIN32
