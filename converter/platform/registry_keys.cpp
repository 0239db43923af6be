// Typed reads and writes of registry values, the same on every platform.
#include "registry_keys.h"

#include <cstring>

#include "path_limit.h"
#include "registry_key_data.h"

bool ReadKeyNumber(const char* keyPath, const char* valueName, int32_t& number) {
  number = 0;
  char data[4];
  uint32_t type = 0;
  size_t size = 0;
  if (!ReadKeyData(keyPath, valueName, type, data, sizeof data, size)) return false;
  uint32_t value = 0;  // little-endian, whatever the type and size
  for (size_t i = 0; i < size; ++i)
    value |= uint32_t(static_cast<unsigned char>(data[i])) << (8 * i);
  number = static_cast<int32_t>(value);
  return true;
}

KeyResult WriteKeyNumber(const char* keyPath, const char* valueName, int32_t number) {
  uint32_t value = static_cast<uint32_t>(number);
  char data[4];
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(value >> (8 * i));
  return WriteKeyData(keyPath, valueName, kRegNumber, data, sizeof data);
}

bool ReadKeyText(const char* keyPath, const char* valueName, std::string& text) {
  text.clear();
  char data[kPathLimit];
  uint32_t type = 0;
  size_t size = 0;
  if (!ReadKeyData(keyPath, valueName, type, data, sizeof data, size)) return false;
  // the text ends at its zero, or with the data when it has none
  const void* zero = std::memchr(data, '\0', size);
  text.assign(data, zero ? static_cast<size_t>(static_cast<const char*>(zero) - data) : size);
  return true;
}

KeyResult WriteKeyText(const char* keyPath, const char* valueName, const char* text) {
  if (!text) return {KeyStatus::kBadName, "no text"};
  return WriteKeyData(keyPath, valueName, kRegText, text, std::strlen(text) + 1);
}
