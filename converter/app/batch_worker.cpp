#include "batch_worker.h"

#include <cstring>

#include "../platform/message_box.h"
#include "conversion_job.h"
#include "progress_sink.h"
#include "settings_store.h"

namespace {

constexpr size_t kPathLimit = 260;

bool StartsWithDest(const std::string& s, size_t at) { return s.compare(at, 4, "Dest") == 0; }

// The text from `at` up to the next CR or the end.
std::string LineFrom(const std::string& s, size_t at) {
  if (at >= s.size()) return std::string();
  size_t end = s.find('\r', at);
  return s.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// The folder of a destination line that starts at `at`; a line too short
// for the prefix names no folder.
std::string FolderOf(const std::string& s, size_t at) {
  std::string line = LineFrom(s, at);
  return line.size() > kDestinationPrefixBytes ? line.substr(kDestinationPrefixBytes) : std::string();
}

bool EndsWithGif(const std::string& path) {
  if (path.size() < 3) return false;
  const char* e = path.c_str() + path.size() - 3;
  return (e[0] | 0x20) == 'g' && (e[1] | 0x20) == 'i' && (e[2] | 0x20) == 'f';
}

}  // namespace

bool ResolveListEntry(const std::string& list, int32_t k, std::string& source, std::string& destination) {
  source.clear();
  destination.clear();
  if (k < 0) return false;
  std::string folder;
  if (StartsWithDest(list, 0)) {
    folder = FolderOf(list, 0);
    if (k == 0) return false;
  }
  size_t lineStart = 0;
  for (int32_t line = 0; line < k;) {
    size_t lf = list.find('\n', lineStart);
    if (lf == std::string::npos) return false;  // fewer than k + 1 lines
    lineStart = lf + 1;
    ++line;
    if (StartsWithDest(list, lineStart)) {
      folder = FolderOf(list, lineStart);
      if (line == k) return false;
    }
  }
  source = LineFrom(list, lineStart);
  if (folder.empty()) {
    destination = source;
  } else {
    if (folder.back() == '\\') folder.pop_back();
    size_t slash = source.rfind('\\');
    destination = folder + (slash == std::string::npos ? "\\" + source : source.substr(slash));
  }
  if (source.size() >= kPathLimit || destination.size() >= kPathLimit || !EndsWithGif(destination)) {
    source.clear();
    destination.clear();
    return false;
  }
  destination.replace(destination.size() - 3, 3, "swf");
  return true;
}

void MakeBatchStatusText(const std::string& destination, char* out) {
  size_t n = destination.size() < kPathLimit - 1 ? destination.size() : kPathLimit - 1;
  std::memcpy(out, destination.data(), n);
  out[n] = '\0';
  ShortenPathForDisplay(out);
  for (char* c = out; *c; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
}

void RunBatch(BatchRequest& request, ProgressSink* progress) {
  std::string source, destination;
  for (int32_t k = 0; k < request.lineCount; ++k) {
    if (!ResolveListEntry(request.fileList, k, source, destination)) continue;
    char status[kPathLimit];
    MakeBatchStatusText(destination, status);
    if (progress && !request.cancel.load()) progress->Step(status);

    const PublishSettings& publish = CurrentPublishSettings;
    ConversionOptions options;
    options.changeLoop = request.changeLoop;
    options.loopForever = request.loopForever;
    options.playCount = request.playCount;
    options.useLinkUrl = request.useLinkUrl;
    if (request.useLinkUrl) options.linkUrl = request.linkUrl;
    options.borderCorrection = publish.borderCorrection;
    options.useGifBackground = publish.useGifBackground;
    options.optimiseCanvas = publish.optimiseCanvas;
    options.protect = publish.protect;
    options.writeHtml = publish.writeHtml;
    options.fullMenu = publish.fullMenu;
    if (!ConvertFile(source.c_str(), destination.c_str(), options, progress, &request.jobCancel)) {
      std::string text = "错误: 无法写入文件 " + destination;
      ShowMessageBox(nullptr, text.c_str(), request.errorCaption.c_str(), MB_OK | MB_ICONEXCLAMATION);
      break;
    }
    if (request.cancel.load()) return;
  }
  if (progress) progress->BatchDone();
}
