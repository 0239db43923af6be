// Until the batch worker with its progress window exists, the list is
// converted here, on the window's thread, one file after the other.
#include "start_batch.h"

#include <string>

#include "app/batch_worker.h"

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
  (void)mainWindow;
  BatchRequest request;
  request.fileList = list.text;
  request.lineCount = list.lineCount;
  request.window = options;
  request.errorCaption = ProgramName();
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
  RunBatch(request, nullptr);
  SetCursor(previous);
}
