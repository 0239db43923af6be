// Every start of the program: the quiet conversion, the hand-off of files
// to a running main window, or the main window itself.
#pragma once
#include <string>
#include <vector>

// Exists while a copy started with a file opens its main window, before
// the window can be found by its title.
constexpr const char* kStartingMarkerKey = "Software\\Tervano\\open";
// Held by the copy that made the marker until its window can be found. The
// system drops it when that copy ends, so a marker left by a copy that died
// is known to be stale.
constexpr const char* kStartingOwnerName = "Tervano.Starting";

#ifdef _WIN32
#include <windows.h>

class ProcessLock;

// The start-up text of this process: the wide command line after the
// program's name, as UTF-8.
std::string StartUpText();
// Runs the program for the command-line text; the result is the process's
// exit code.
int StartUp(const std::string& text);
// Leaves the paths for the running main window (null: for the window that
// is starting) and tells it. decision is the start-up's hold of the
// hand-off lock: the paths are stored under it, and it is released before
// the window is told, because the window takes them under the same lock.
void HandOffFiles(const std::vector<std::string>& paths, HWND runningWindow, ProcessLock& decision);
// How long a sender waits for the running window to take its files. A
// window that does not answer in time takes them later, when it does.
constexpr UINT kHandOffNoticeMs = 3000;
#endif
