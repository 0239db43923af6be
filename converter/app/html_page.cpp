#include "html_page.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

#include "../platform/replace_file.h"
#include "conversion_job.h"
#include "html_page_text.h"
#include "platform/path_limit.h"

namespace {


bool IsFolderSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == ':';
#else
  return c == '\\' || c == ':' || c == '/';
#endif
}

void AppendLine(std::string& page, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void AppendLine(std::string& page, const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) n = 0;
  // a line longer than the buffer (a long movie name) is built on the heap
  if (static_cast<size_t>(n) >= sizeof line) {
    std::string big(static_cast<size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(&big[0], big.size(), format, args);
    va_end(args);
    big.resize(static_cast<size_t>(n));
    page += big;
  } else {
    page.append(line, static_cast<size_t>(n));
  }
  page += "\r\n";
}

void ShowStep(ProgressSink* progress, const std::string& pagePath) {
  if (!progress) return;
  char status[kPathLimit];
  size_t n = pagePath.size() < kPathLimit - 1 ? pagePath.size() : kPathLimit - 1;
  std::memcpy(status, pagePath.data(), n);
  status[n] = '\0';
  ShortenPathForDisplay(status);
  progress->Step(status);
}

}  // namespace

std::string ComposeHtmlPage(const HtmlPageNames& names, int width, int height,
                        uint32_t colour, int32_t useGifBackground,
                        int32_t fullMenu, const std::string& ruffleUrl) {
  unsigned rgb = colour & 0xFFFFFFu;
  const char* title = names.title.c_str();
  const char* movie = names.movieReference.c_str();
  std::string page;
  AppendLine(page, "<HTML>");
  AppendLine(page, "%s", kPageGeneratedLine);
  AppendLine(page, "%s%s -->", kPageVisitPrefix, kMakerHomePage);
  AppendLine(page, "  <HEAD>");
  AppendLine(page, "    <TITLE>%s</TITLE>", title);
  if (!ruffleUrl.empty()) AppendLine(page, "    <SCRIPT src=\"%s\"></SCRIPT>", EscapeAttribute(ruffleUrl).c_str());
  AppendLine(page, "  </HEAD>");
  if (useGifBackground)
    AppendLine(page, "  <BODY bgcolor=\"#%06X\">", rgb);
  else
    AppendLine(page, "  <BODY>");
  AppendLine(page, "    <OBJECT classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\"");
  AppendLine(page, "      codebase=\"%s\"", kPlayerCabAddress);
  AppendLine(page,
             "      width=%i height=%i> <PARAM NAME=movie VALUE=\"%s\">"
             " <PARAM NAME=wmode VALUE=transparent>",
             width, height, movie);
  AppendLine(page, "      <PARAM NAME=quality VALUE=high> <PARAM NAME=bgcolor VALUE=#%06X>%s",
             rgb, fullMenu ? "" : " <PARAM NAME=menu VALUE=false>");
  AppendLine(page, "      <EMBED src=\"%s\" quality=high wmode=transparent", movie);
  AppendLine(page,
             "        bgcolor=#%06X width=%i height=%i"
             " type=\"application/x-shockwave-flash\"%s",
             rgb, width, height, fullMenu ? "" : " menu=false");
  AppendLine(page, "        pluginspace=\"%s\">", kPlayerDownloadPage);
  AppendLine(page, "      </EMBED>");
  AppendLine(page, "    </OBJECT>");
  AppendLine(page, "  </BODY>");
  AppendLine(page, "</HTML>");
  return page;
}

std::string EscapeAttribute(const std::string& text) {
  std::string out;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (u < 0x20 || u == 0x7F)
          out += "&#" + std::to_string(u) + ";";
        else
          out += c;
    }
  }
  return out;
}

bool MakeHtmlPageNames(const char* moviePath, HtmlPageNames& names) {
  names = HtmlPageNames();
  if (!moviePath) return false;
  std::string path = moviePath;
  // Forwards, stepping over double-byte characters: in code page 936 the
  // second byte of one can be 0x5C, a backslash when read alone.
  size_t nameStart = 0;
  for (size_t i = 0; i < path.size(); ++i) {
#ifdef _WIN32
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
#endif
    if (IsFolderSeparator(path[i])) nameStart = i + 1;
  }
  // A dot in a folder name is no extension.
  size_t dot = path.rfind('.');
  size_t stemEnd = dot == std::string::npos || dot < nameStart ? path.size() : dot;
  names.pagePath = path.substr(0, stemEnd) + ".htm";
  names.title = path.substr(nameStart, stemEnd - nameStart);
  names.movieReference = path.substr(nameStart);
  if (!names.title.empty() && names.title[0] >= 'a' && names.title[0] <= 'z')
    names.title[0] = static_cast<char>(names.title[0] - 'a' + 'A');
  return path.size() < kPathLimit && names.pagePath.size() < kPathLimit;
}

ConversionResult WriteHtmlPage(const char* moviePath, int width, int height,
                               uint32_t backgroundColour, int32_t useGifBackground,
                               int32_t fullMenu, ProgressSink* progress, const std::string& ruffleUrl) {
  ConversionResult result;
  HtmlPageNames names;
  if (!moviePath || !MakeHtmlPageNames(moviePath, names)) {
    result.status = ConversionStatus::kPathTooLong;
    result.path = names.pagePath;
    return result;
  }
  result.path = names.pagePath;
  ShowStep(progress, names.pagePath);
  std::string page;
  try {
    page = ComposeHtmlPage(names, width, height, backgroundColour, useGifBackground, fullMenu, ruffleUrl);
  } catch (...) {
    result.status = ConversionStatus::kPageNotWritable;
    result.reason = "out of memory";
    return result;
  }
  FileReplacement file;
  if (!file.Begin(names.pagePath.c_str(), result.reason) || !file.Write(page.data(), page.size(), result.reason) ||
      !file.Commit(result.reason)) {
    result.status = ConversionStatus::kPageNotWritable;
    return result;
  }
  return result;
}
