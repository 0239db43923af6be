// The batch: every file line of the main window's list converted one after
// the other, reporting to the progress window. The worker itself is plain
// C++; the Windows side starts it on a thread and shows the progress.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "settings_store.h"

class ProgressSink;

// What the batch works on: copies made before the worker starts, and the
// two cancel flags that the user-interface thread sets when the progress
// window closes.
struct BatchRequest {
  std::string fileList;    // CR LF separated lines
  int32_t lineCount = 0;   // lines of fileList, destination lines included
  MainWindowOptions window;  // the main window's loop and link choices
  std::string errorCaption;            // caption of the error box: the program's name
  // Window the error box belongs to (a HWND on Windows): the progress
  // window, so that Cancel cannot end the batch under an open box.
  void* errorOwner = nullptr;
  std::atomic<bool> cancel{false};     // no further file after the current one
  std::atomic<bool> jobCancel{false};  // the current file stops (its emission pass)
};

// The status line for a destination: shortened for display, ASCII capitals
// in lower case. out holds at least 260 bytes.
void MakeBatchStatusText(const std::string& destination, char* out);

// Converts every file of the request, with the process-wide publish
// settings as each file starts. Stops after a file that cannot be written
// (after an error box) or after a file during which request.cancel was set;
// only a batch that was not cancelled ends with BatchDone. progress may be
// null.
void RunBatch(BatchRequest& request, ProgressSink* progress);
