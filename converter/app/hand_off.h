// Files handed from a starting copy of the program to the running main
// window through the settings key: NumFiles holds the number of the last
// value written, and values named "1", "2", ... hold one command-line text
// each. Senders and the receiver take turns under one lock shared by all
// processes, so no name is lost or taken twice.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry_keys.h"

// The lock of the hand-off, also held by the start-up decision (window
// search, marker test, marker creation).
constexpr const char* kHandOffLockName = "Tervano.HandOff";
// How long a sender waits for the lock before it writes all the same. On a
// busy disk a taker deleting many values can hold it for seconds, and a
// write without the lock can lose a name, so the wait is generous.
constexpr int kHandOffLockWaitMs = 30000;
constexpr const char* kNumFilesValue = "NumFiles";
// Numbers above this are not looked at (only a damaged count goes there).
constexpr int32_t kMaxHandedTexts = 10000;

// The sender's part: stores text under the next number. Without the lock
// (another process holds it too long) it still stores its value.
[[nodiscard]] KeyResult StoreHandedText(const char* text);

// The receiver's part: every waiting text in the order of its number; the
// values are deleted and NumFiles is set to 0.
[[nodiscard]] std::vector<std::string> TakeHandedTexts();
