#include "conversion_job.h"

#include <cstring>

#include "../gif/gif_converter.h"
#include "../swf/bitmap_tag.h"
#include "../swf/body_file.h"
#include "../swf/control_tags.h"
#include "../swf/movie_header.h"
#include "html_page.h"
#include "settings_store.h"

char* BatchStatusText = nullptr;
WindowHandle BatchProgressWindow = nullptr;

namespace {

constexpr size_t kQuietPrefix = 6;  // "-quite"
constexpr size_t kMinQuietPath = 5;
constexpr size_t kShortDisplay = 40;
constexpr size_t kDisplayTail = 34;

bool PathFits(const char* path) { return path && std::strlen(path) < static_cast<size_t>(kMaxPath); }

void CopyOptions(const ConversionOptions& o, GifConverter& g) {
  g.optionChangeLoop = o.changeLoop;
  g.optionLoopForever = o.loopForever;
  g.optionLoopValue = o.playCount;
  g.optionTransparent = o.borderCorrection;
  g.optionBackGround = o.useGifBackground;
  g.optionCanvasSize = o.optimiseCanvas;
  g.optionProtect = o.protect;
  g.hasLinkUrl = o.hasLinkUrl;
  g.linkUrl = o.linkUrl;
  g.compressionLevel = 9;
}

}  // namespace

int ConvertFile(const char* sourcePath, const char* destinationPath, const ConversionOptions& options,
                WindowHandle progressWindow) {
  if (!PathFits(sourcePath) || !PathFits(destinationPath) || !*sourcePath || !*destinationPath) return 0;
  if (!OpenBody()) return 0;  // the destination stays as it was

  GifConverter& g = TheGifConverter();
  CopyOptions(options, g);
  // What the page gets when the source is no readable GIF: the empty stage.
  g.screenWidth = g.screenHeight = kMinCanvasPixels;
  g.backgroundColour = options.useGifBackground ? 0x000000 : 0xFFFFFF;

  ConvertPass(g, sourcePath, true, progressWindow);
  PostCommand(progressWindow, ID_FRAME_COUNT, g.framesSeen);
  ConvertPass(g, nullptr, false, nullptr);
  ReleaseBitmapWriter();

  if (g.cancel) {
    DiscardBody();
    return 1;
  }
  WriteEnd();
  MovieHeader header;
  MakeHeader(header, g.canvasWidth, g.canvasHeight, g.movieFrameCount);
  uint8_t headerBytes[kHeaderBufferSize] = {0};
  int headerLength = 0;
  ComposeHeader(header, headerBytes, headerLength);
  int result = AssembleMovie(destinationPath, headerBytes, headerLength);
  if (options.writeHtml)
    WriteHtmlPage(destinationPath, g.screenWidth, g.screenHeight, g.backgroundColour, options.useGifBackground,
                  options.fullMenu);
  return result;
}

int QuietConvert(const char* commandLine) {
  if (!commandLine || std::strlen(commandLine) < kQuietPrefix) return 0;
  const char* path = commandLine + kQuietPrefix;
  while (*path == ' ') ++path;
  size_t n = std::strlen(path);
  if (n < kMinQuietPath || n >= static_cast<size_t>(kMaxPath)) return 0;

  char destination[kMaxPath];
  std::memcpy(destination, path, n + 1);
  std::memcpy(destination + n - 3, "swf", 3);

  ConversionOptions options = ReadQuietOptions();
  BatchStatusText = nullptr;
  ConvertFile(path, destination, options, nullptr);
  return 1;
}

void ShortenPathForDisplay(char* text) {
  if (!text) return;
  size_t n = std::strlen(text);
  if (n <= kShortDisplay) return;
  // Head: up to the first separator, if that leaves the tail whole and the
  // result inside the 260-byte slot.
  size_t head = 0;
  for (size_t i = 0; i < n; ++i) {
    if (text[i] == '\\' || text[i] == '/') {
      head = i + 1;
      break;
    }
  }
  if (head > n - kDisplayTail || head + 3 + kDisplayTail >= static_cast<size_t>(kMaxPath)) head = 0;
  char tail[kDisplayTail + 1];
  std::memcpy(tail, text + n - kDisplayTail, kDisplayTail + 1);
  std::memcpy(text + head, "...", 3);
  std::memcpy(text + head + 3, tail, kDisplayTail + 1);
}
