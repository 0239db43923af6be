// The convert command: converts every file of the list.
#pragma once
#include <windows.h>

#include "app/settings_store.h"
#include "app/window_rules.h"

// Converts the list file by file with the window's loop and link values and
// the current publishing options. Returns when the batch is over.
void StartBatch(HWND mainWindow, const FileList& list, const MainWindowOptions& options);
