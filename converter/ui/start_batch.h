// The convert command: converts every file of the list on a worker thread
// while the modal progress window shows how far it is.
#pragma once
#include <windows.h>

#include <cstdint>

#include "app/settings_store.h"
#include "app/window_rules.h"

class ProgressDialog;

// What the main window knows of its batch, for the worker's ID_BATCH_DONE.
struct RunningBatch {
  bool busy = false;                   // from Convert until the worker has ended
  ProgressDialog* progress = nullptr;  // the open progress window, or null
  bool doneSeen = false;               // this batch's BatchDone was handled
  // BatchDone messages of earlier batches still on their way: Cancel ended
  // those batches first.
  int32_t staleDone = 0;
};

// Converts the list file by file with the window's loop and link values and
// its publishing options, telling the user of each file that fails. Returns
// when the progress window has closed and the worker has ended.
void StartBatch(HWND mainWindow, const FileList& list, const MainWindowOptions& options,
                const PublishSettings& publish, RunningBatch& running);
// The main window's ID_BATCH_DONE: closes the progress window with result 9.
void OnBatchDoneMessage(RunningBatch& running);
