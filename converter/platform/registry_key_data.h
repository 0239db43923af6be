// Raw value data of the registry keys, with one implementation per platform
// (registry_keys_windows.cpp, registry_keys_files.cpp). registry_keys.cpp
// builds the typed reads and writes of registry_keys.h on it; the program
// uses those. Data are bytes, never converted.
#pragma once
#include <cstddef>
#include <cstdint>

#include "registry_keys.h"

constexpr uint32_t kRegText = 1;    // REG_SZ
constexpr uint32_t kRegBinary = 3;  // REG_BINARY
constexpr uint32_t kRegNumber = 4;  // REG_DWORD

// Reads the value's type and at most capacity bytes of its data; size
// becomes the data's size. False when the key cannot be opened, the value is
// missing or its data is longer than capacity.
[[nodiscard]] bool ReadKeyData(const char* keyPath, const char* valueName, uint32_t& type, char* data,
                               size_t capacity, size_t& size);
// Stores size bytes of data with the type.
[[nodiscard]] KeyResult WriteKeyData(const char* keyPath, const char* valueName, uint32_t type,
                                     const char* data, size_t size);
