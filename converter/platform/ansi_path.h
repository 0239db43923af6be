// A wide file name as the program's narrow (ANSI code page) path. Names
// with characters the code page lacks (Korean, Thai, emoji in code page
// 936) turn into "?" or a look-alike through the narrow calls, which names
// no file or another one; their short 8.3 name is plain ASCII instead.
#pragma once
#ifdef _WIN32
#include <string>

enum class AnsiPathKind {
  kExact,     // the name itself
  kShortName, // the short name of the same file
  kNone,      // neither fits: the volume keeps no short names, or too long
};

struct AnsiPath {
  AnsiPathKind kind = AnsiPathKind::kNone;
  std::string path;  // empty for kNone; shorter than MAX_PATH otherwise
};

[[nodiscard]] AnsiPath AnsiPathOf(const wchar_t* name);

// The text in the ANSI code page when every character maps exactly (no
// "?", no best-fit look-alike); false otherwise.
[[nodiscard]] bool ExactAnsiText(const wchar_t* text, std::string& out);

// The error text for a name that has no narrow path, naming the file.
[[nodiscard]] std::wstring NoAnsiPathMessage(const wchar_t* name);
#endif
