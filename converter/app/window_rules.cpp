#include "window_rules.h"

#include <cstdio>
#include <cstring>

#include "list_entry.h"

// UTF-8, as the whole list is.
const char kEmptyListText[] = u8"(尚未添加源文件)";

namespace {

const char kFilesReady[] = " 个文件准备转换";
const char kOneFileReady[] = "1 个文件准备转换";

std::string Decimal(int32_t n) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%i", static_cast<int>(n));
  return digits;
}

bool ListHasLines(const FileList& list) { return list.lineCount > 0 || list.destCount > 0; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (EndsWithBackslash(folder)) return folder + name;
  return folder + "\\" + name;
}

}  // namespace

void ResetList(FileList& list) { list = FileList(); }

void AppendSourceLine(FileList& list, const std::string& path) {
  if (ListHasLines(list)) {
    list.text += "\r\n";
    list.text += path;
  } else {
    list.text = path;
  }
  ++list.lineCount;
}

void AddPickedFiles(FileList& list, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) AppendSourceLine(list, path);
}

void SetDestinationLine(FileList& list, const std::string& folder) {
  std::string line = std::string(kDestinationPrefix) + folder;
  bool onlyDestination = list.lineCount == 1 && list.destCount == 1;
  if ((list.lineCount == 0 && list.destCount == 0) || onlyDestination) {
    list.text = line;
    list.lineCount = 1;
    list.destCount = 1;
    return;
  }
  size_t lf = list.text.rfind('\n');
  size_t lastLine = lf == std::string::npos ? 0 : lf + 1;
  if (list.text.compare(lastLine, 4, "Dest") == 0) {
    list.text.replace(lastLine, std::string::npos, line);
    return;
  }
  list.text += "\r\n";
  list.text += line;
  ++list.lineCount;
  ++list.destCount;
}

int32_t ReadyCount(const FileList& list) { return list.lineCount - list.destCount; }

std::string ReadyCountText(const FileList& list) {
  int32_t n = ReadyCount(list);
  if (n <= 0) return std::string();
  if (n == 1) return kOneFileReady;
  return Decimal(n) + kFilesReady;
}

SaveAsPlan PlanSaveAs(const FileList& list) {
  SaveAsPlan plan;
  for (int32_t k = 0; k < list.lineCount; ++k) {
    std::string source, destination;
    ListEntry entry = ExamineListEntry(list.text, k, source, destination);
    if (entry == ListEntry::kFile) {
      plan.collected += "\r\n";
      plan.collected += source;
      ++plan.files;
    }
    if (entry == ListEntry::kFile || entry == ListEntry::kSkipped || entry == ListEntry::kTooLong) {
      plan.lastSource = source;
      plan.lastDestination = destination;
    }
  }
  plan.singleFile = ReadyCount(list) == 1;
  return plan;
}

std::string FolderOfPath(const std::string& path) {
  size_t slash = FindLastBackslash(path);
  if (slash == std::string::npos) return std::string();
  std::string folder = path.substr(0, slash);
  if (folder.size() == 2) folder += '\\';
  return folder;
}

void ApplySaveAs(FileList& list, const SaveAsPlan& plan, const std::string& folder) {
  list.text = std::string(kDestinationPrefix) + folder + plan.collected;
  list.destCount = 1;
  list.lineCount = plan.files + 1;
}

bool NormalisePlayCount(MainWindowOptions& options) {
  const std::string& text = options.playCountText;
  if (text.empty()) return false;
  // The field takes digits only; anything else ends the number, and values
  // beyond 32 bits only need to count as too large.
  long long v = 0;
  size_t i = 0;
  bool negative = text[0] == '-';
  if (negative || text[0] == '+') i = 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (v < 100000000000LL) v = v * 10 + (text[i] - '0');
  }
  if (negative) v = -v;
  if (v < 1) {
    options.playCount = 1;
  } else if (v <= 65535) {
    options.playCount = static_cast<int32_t>(v);
  }
  options.playCountText = Decimal(options.playCount);
  return v < 1 || v > 65535 || v == 1;
}

bool EmptyPlayCountLeft(MainWindowOptions& options, bool focusToLoopForever) {
  if (!options.playCountText.empty() || focusToLoopForever) return false;
  options.loopForever = 1;
  return true;
}

LoopControls LoopControlStates(const MainWindowOptions& options) {
  LoopControls states;
  states.loopForeverBox = options.changeLoop != 0;
  states.countFields = options.changeLoop != 0 && options.loopForever == 0;
  return states;
}

ConversionOptions BatchOptions(const MainWindowOptions& window, const PublishSettings& publish) {
  ConversionOptions options;
  options.changeLoop = window.changeLoop;
  options.loopForever = window.loopForever;
  options.playCount = window.playCount;
  options.useLinkUrl = window.useLinkUrl;
  if (window.useLinkUrl) options.linkUrl = window.linkUrl;
  options.borderCorrection = publish.borderCorrection;
  options.useGifBackground = publish.useGifBackground;
  options.optimiseCanvas = publish.optimiseCanvas;
  options.protect = publish.protect;
  options.writeHtml = publish.writeHtml;
  options.fullMenu = publish.fullMenu;
  options.ruffleUrl = publish.ruffleUrl;
  return options;
}

std::string BuildOpenCommand(const std::string& registered, const std::string& url) {
  std::string command = registered;
  size_t cut = command.find("\"%1\"");
  if (cut == std::string::npos) cut = command.find("%1");
  if (cut != std::string::npos) command.erase(cut);
  return command + " " + url;
}

std::vector<std::string> SplitPickedFiles(const char* area, size_t size) {
  std::vector<std::string> texts;
  size_t at = 0;
  while (at < size && area[at] != '\0') {
    const void* zero = std::memchr(area + at, '\0', size - at);
    if (!zero) return {};
    size_t end = static_cast<size_t>(static_cast<const char*>(zero) - area);
    texts.emplace_back(area + at, end - at);
    at = end + 1;
  }
  if (at >= size) return {};  // no closing empty text: the area was cut
  if (texts.size() <= 1) return texts;
  std::vector<std::string> paths;
  for (size_t i = 1; i < texts.size(); ++i) paths.push_back(JoinPath(texts[0], texts[i]));
  return paths;
}
