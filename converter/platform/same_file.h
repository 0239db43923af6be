// Whether two paths lead to one file.
//
// Design: converter/platform is the bottom layer: registry keys (or their
// files), the cross-process lock, temporary files, whole-file replacement,
// the start of a file, file identity and names in the ANSI code page, each
// for Windows and for Linux. It uses no other folder.
#pragma once

// True when both paths name the same existing file, however they are
// spelt (case, links, relative parts). False when either does not exist.
[[nodiscard]] bool IsSameFile(const char* a, const char* b);
