// Conversions between the program's texts: paths and lists are UTF-8 inside
// (bytes as the system gave them on Linux, read as UTF-8), the program's
// Chinese texts are GB2312 (code page 936) bytes, and Windows takes UTF-16
// at its calls.
#pragma once
#include <cstddef>
#include <string>

// The GB2312 (code page 936) bytes of a UTF-8 text; false when the code
// page lacks a character of it (no look-alike is taken) or the text is no
// valid UTF-8.
[[nodiscard]] bool Gb2312FromUtf8(const std::string& utf8, std::string& gb2312);

// Length of a UTF-8 text as Windows counts it, in UTF-16 units: a character
// beyond the Basic Multilingual Plane takes two. A byte that starts no
// valid sequence counts as one unit.
size_t Utf16Length(const std::string& utf8);

// Where the last n characters (code points) of a UTF-8 text begin; 0 when
// it has no more than n.
size_t LastCharactersStart(const std::string& utf8, size_t n);

// Whether text is valid UTF-8 throughout.
bool IsUtf8(const std::string& text);

// Bytes of the character that starts at i (1 to 4), with its code point;
// a byte that starts no valid sequence is one character, U+FFFD.
size_t CharacterAt(const std::string& utf8, size_t i, char32_t& codePoint);

#ifdef _WIN32
#include <windows.h>

// UTF-8 to UTF-16 and back; a sequence that is no valid UTF-8 (or a lone
// surrogate) becomes U+FFFD.
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const wchar_t* text, size_t length);
std::string Utf8FromWide(const std::wstring& text);
// A program text (GB2312 bytes) for a window.
std::wstring WideFromGb2312(const std::string& gb2312);
// A text kept in the ANSI code page (a stored link address) to and from
// a window.
std::wstring WideFromAnsi(const std::string& ansi);
std::string AnsiFromWide(const std::wstring& text);
#endif
