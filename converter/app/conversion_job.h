// One conversion from GIF file to movie (and page), and the quiet
// command-line conversion.
#pragma once
#include <cstdint>
#include <string>

#include "../platform/window_messages.h"

struct ConversionOptions {
  int32_t changeLoop = 0;
  int32_t loopForever = 0;
  int32_t playCount = 0;
  int32_t borderCorrection = 0;
  int32_t useGifBackground = 0;
  int32_t optimiseCanvas = 0;
  bool hasLinkUrl = false;  // linkUrl is used only when set (may be empty)
  std::string linkUrl;
  int32_t protect = 0;
  int32_t writeHtml = 0;
  int32_t fullMenu = 0;
};

// Returns 1 when the movie was written (or the job was cancelled during the
// emission pass), 0 when it could not be written. Paths of 260 bytes or more
// are rejected with 0 and nothing written.
int ConvertFile(const char* sourcePath, const char* destinationPath,
                const ConversionOptions& options, WindowHandle progressWindow);

// commandLine is the text after the program name, starting with "-quite".
// Returns 1 when a conversion ran, 0 when the text named no usable file.
int QuietConvert(const char* commandLine);

// Shortens a path in place (buffer of at least 260 bytes) for the one-line
// status display: more than 40 bytes become head up to the first backslash,
// "...", and the last 34 bytes.
void ShortenPathForDisplay(char* text);

// Status text slot of a running batch (260 bytes) and its progress window;
// both null when no batch runs.
extern char* BatchStatusText;
extern WindowHandle BatchProgressWindow;
