// Values that Windows' registry virtualization kept for the program.
#pragma once
#ifdef _WIN32

enum class VirtualStoreMove {
  kNothingThere,  // no virtualized values
  kMoved,         // every value moved into the per-user key
  kIncomplete,    // some could not be written; they stay for the next start
};

// A 32-bit program without a manifest that wrote HKEY_LOCAL_MACHINE\keyPath
// as a standard user had its values kept in the user's virtual store
// (VirtualStore\MACHINE\SOFTWARE\[WOW6432Node\]...); with a manifest it no
// longer sees them there. Moves them into HKEY_CURRENT_USER\keyPath, where
// the program reads first: values already there win, and the numbered
// values 1 to N (N held by listCountName) are appended to the per-user
// list of the same kind, never written over it. A moved value leaves the
// store, so nothing is moved twice. keyPath starts with "Software\".
[[nodiscard]] VirtualStoreMove MoveVirtualizedValues(const char* keyPath, const char* listCountName);

#endif
