// The HTML page written beside a movie to embed it in a browser.
#pragma once
#include <cstdint>
#include <string>

#include "conversion_result.h"

// Addresses named in the page.
constexpr const char* kMakerHomePage = "http://www.tervano.example/";
constexpr const char* kPlayerCabAddress =
    "http://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=5,0,0,0";
constexpr const char* kPlayerDownloadPage =
    "http://www.macromedia.com/shockwave/download/index.cgi?P1_Prod_Version=ShockwaveFlash";

struct HtmlPageNames {
  std::string pagePath;        // movie path without its extension + ".htm"
  std::string title;           // file name without extension, first a-z upper-cased
  std::string movieReference;  // file name with extension
};

// Splits a movie path. The file name starts after the last backslash or
// colon (also "/" off Windows); its extension at its last ".". A file name
// without any "." gives the page path + ".htm" in the same folder, and the
// whole file name as title and reference. False when the movie path or the
// page path would be 260 bytes or more.
[[nodiscard]] bool MakeHtmlPageNames(const char* moviePath, HtmlPageNames& names);

// The page's bytes (18 lines, CR LF; one more with a ruffleUrl, as below).
// May throw std::bad_alloc.
std::string ComposeHtmlPage(const HtmlPageNames& names, int width, int height, uint32_t backgroundColour,
                            int32_t useGifBackground, int32_t fullMenu, const std::string& ruffleUrl);

class ProgressSink;

// Writes the page for moviePath (18 lines, CR LF), replacing an existing
// page only once the new one is whole. width and height in pixels;
// backgroundColour 0xRRGGBB. With a progress sink (a batch), the page path
// is shown as a step first. Returns kConverted, kPathTooLong or
// kPageNotWritable (an old page is then as it was), with the page path.
// A non-empty ruffleUrl adds one line to HEAD, a SCRIPT element that loads
// the Ruffle player from that address (escaped for the attribute), which
// then plays the page's OBJECT/EMBED; without it the page is unchanged.
[[nodiscard]] ConversionResult WriteHtmlPage(const char* moviePath, int width, int height,
                               uint32_t backgroundColour, int32_t useGifBackground,
                               int32_t fullMenu, ProgressSink* progress = nullptr,
                               const std::string& ruffleUrl = std::string());

// text as the value of a double-quoted HTML attribute: & < > " ' and
// control characters as character references, all else as it is.
std::string EscapeAttribute(const std::string& text);
