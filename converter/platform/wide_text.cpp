#include "wide_text.h"

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#elif !defined(_WIN32)
#include <iconv.h>
#endif

namespace {

// Length of the valid UTF-8 sequence at i (1 to 4), or 0 when none starts
// there: no overlong forms, no surrogates, nothing above U+10FFFF.
size_t SequenceLength(const std::string& s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t n;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (s.size() - i < n) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace

bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    size_t n = SequenceLength(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

namespace {

// ASCII is the same in GB2312: no conversion needed.
bool IsAscii(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

size_t CharacterAt(const std::string& utf8, size_t i, char32_t& codePoint) {
  size_t n = SequenceLength(utf8, i);
  if (n == 0) {
    codePoint = 0xFFFD;
    return 1;
  }
  static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  codePoint = static_cast<unsigned char>(utf8[i]) & kLeadBits[n];
  for (size_t k = 1; k < n; ++k) codePoint = codePoint << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
  return n;
}

size_t Utf16Length(const std::string& utf8) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = SequenceLength(utf8, i);
    units += n == 4 ? 2 : 1;
    i += n == 0 ? 1 : n;
  }
  return units;
}

size_t LastCharactersStart(const std::string& utf8, size_t n) {
  size_t at = utf8.size();
  for (size_t counted = 0; counted < n && at > 0; ++counted) {
    // Back over continuation bytes to the byte that starts the character.
    size_t start = at - 1;
    while (start > 0 && at - start < 4 && (static_cast<unsigned char>(utf8[start]) & 0xC0) == 0x80) --start;
    at = SequenceLength(utf8, start) == at - start ? start : at - 1;
  }
  return at;
}

#ifdef _WIN32

namespace {

std::wstring WideFrom(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
  return wide;
}

std::string NarrowFrom(UINT codePage, const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  int size = WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), &narrow[0], size, nullptr, nullptr);
  return narrow;
}

constexpr UINT kGb2312CodePage = 936;

}  // namespace

std::wstring WideFromUtf8(const std::string& utf8) { return WideFrom(CP_UTF8, utf8); }

std::string Utf8FromWide(const wchar_t* text, size_t length) { return NarrowFrom(CP_UTF8, text, length); }

std::string Utf8FromWide(const std::wstring& text) { return Utf8FromWide(text.data(), text.size()); }

std::wstring WideFromGb2312(const std::string& gb2312) { return WideFrom(kGb2312CodePage, gb2312); }

std::wstring WideFromAnsi(const std::string& ansi) { return WideFrom(CP_ACP, ansi); }

std::string AnsiFromWide(const std::wstring& text) { return NarrowFrom(CP_ACP, text.data(), text.size()); }

// The system's conversion of a UTF-8 text that is not all ASCII.
static bool NonAsciiToGb2312(const std::string& utf8, std::string& gb2312) {
  std::wstring wide = WideFromUtf8(utf8);
  if (wide.empty()) return utf8.empty();
  BOOL lost = FALSE;
  int size = WideCharToMultiByte(kGb2312CodePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                 nullptr, 0, nullptr, &lost);
  if (size <= 0 || lost) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  lost = FALSE;
  if (WideCharToMultiByte(kGb2312CodePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                          &bytes[0], size, nullptr, &lost) != size ||
      lost)
    return false;
  gb2312 = bytes;
  return true;
}

#elif defined(__EMSCRIPTEN__)

namespace {

// Its C library has no GBK: the browser's (or Node's) GBK decoder, turned
// around for the characters of text. The euro sign is the one byte 0x80, as
// in Windows' code page 936. -1 when a character has no bytes there.
EM_JS(int, Gb2312BytesOf, (const char* utf8, int length, char* out, int capacity), {
  const decoder = new TextDecoder("gbk", {fatal : true});
  const table = new Map([[ "\u20AC", [0x80] ]]);
  const pair = new Uint8Array(2);
  for (let lead = 0x81; lead <= 0xFE; ++lead) {
    for (let trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail === 0x7F) continue;
      pair[0] = lead;
      pair[1] = trail;
      let ch;
      try { ch = decoder.decode(pair); } catch (e) { continue; }
      if (!table.has(ch)) table.set(ch, [ lead, trail ]);
    }
  }
  let n = 0;
  for (const ch of UTF8ToString(utf8, length)) {
    const bytes = ch.codePointAt(0) < 0x80 ? [ch.codePointAt(0)] : table.get(ch);
    if (!bytes || n + bytes.length > capacity) return -1;
    for (const b of bytes) HEAPU8[out + n++] = b;
  }
  return n;
});

}  // namespace

// The system's conversion of a UTF-8 text that is not all ASCII.
static bool NonAsciiToGb2312(const std::string& utf8, std::string& gb2312) {
  // GB2312 takes no more bytes than UTF-8 for any character.
  std::string bytes(utf8.size(), '\0');
  int n = Gb2312BytesOf(utf8.data(), static_cast<int>(utf8.size()), &bytes[0], static_cast<int>(bytes.size()));
  if (n < 0) return false;
  bytes.resize(static_cast<size_t>(n));
  gb2312 = bytes;
  return true;
}

#else

// The system's conversion of a UTF-8 text that is not all ASCII.
static bool NonAsciiToGb2312(const std::string& utf8, std::string& gb2312) {
  // CP936 is glibc's name of Windows' code page 936, GBK the name other C
  // libraries (emscripten's) know it by. No //TRANSLIT: a character the code
  // page lacks fails, or (in some libraries) counts as not reversible.
  iconv_t convert = iconv_open("CP936", "UTF-8");
  if (convert == reinterpret_cast<iconv_t>(-1)) convert = iconv_open("GBK", "UTF-8");
  if (convert == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = utf8;
  std::string out(utf8.size() * 2 + 4, '\0');
  char* from = &in[0];
  size_t fromLeft = in.size();
  char* to = &out[0];
  size_t toLeft = out.size();
  bool ok = iconv(convert, &from, &fromLeft, &to, &toLeft) == 0 && fromLeft == 0;
  iconv_close(convert);
  if (!ok) return false;
  gb2312.assign(out.data(), out.size() - toLeft);
  return true;
}

#endif

bool Gb2312FromUtf8(const std::string& utf8, std::string& gb2312) {
  gb2312.clear();
  if (!IsUtf8(utf8)) return false;
  if (IsAscii(utf8)) {
    gb2312 = utf8;
    return true;
  }
  return NonAsciiToGb2312(utf8, gb2312);
}
