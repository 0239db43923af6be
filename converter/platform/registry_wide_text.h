// Registry texts that carry file names (the hand-off values): Unicode, so
// any name passes whatever the code page. On Windows a REG_SZ written and
// read through the wide calls, under the roots registry_keys.h describes;
// in the key files elsewhere, the UTF-8 bytes themselves.
#pragma once
#include <string>

#include "registry_keys.h"

// Reads at most 260 UTF-16 units on Windows, bytes elsewhere (the
// terminating zero included) as UTF-8; false when the value is missing,
// longer or not a text.
[[nodiscard]] bool ReadKeyUnicodeText(const char* keyPath, const char* valueName, std::string& utf8);
// Stores the UTF-8 text as REG_SZ with its terminating zero.
[[nodiscard]] KeyResult WriteKeyUnicodeText(const char* keyPath, const char* valueName, const std::string& utf8);
