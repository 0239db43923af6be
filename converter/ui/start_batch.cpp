// Until the batch worker with its progress window exists, the list is
// converted here, on the window's thread, one file after the other.
#include "start_batch.h"

#include <string>

#include "app/conversion_job.h"
#include "app/list_entry.h"
#include "platform/message_box.h"

namespace {

// The program's file name without folder and extension, for captions.
std::string ProgramName() {
  char path[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string name(path, length < sizeof path ? length : 0);
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace

void StartBatch(HWND mainWindow, const FileList& list, const MainWindowOptions& options) {
  ConversionOptions conversion = BatchOptions(options, CurrentPublishSettings);
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
  for (int32_t k = 0; k < list.lineCount; ++k) {
    std::string source, destination;
    if (!ResolveListEntry(list.text, k, source, destination)) continue;
    if (!ConvertFile(source.c_str(), destination.c_str(), conversion)) {
      std::string text = "错误: 无法写入文件 " + destination;
      ShowMessageBox(mainWindow, text.c_str(), ProgramName().c_str(), MB_OK | MB_ICONEXCLAMATION);
      break;
    }
  }
  SetCursor(previous);
}
