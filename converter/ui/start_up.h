// Every start of the program: the quiet conversion, the hand-off of a file
// to a running main window, or the main window itself.
#pragma once
#include <string>

// Exists while a copy started with a file opens its main window, before
// the window can be found by its title.
constexpr const char* kStartingMarkerKey = "Software\\Tervano\\open";

// The command line without the program name and the blanks after it, as
// one text (never split, quotes kept).
std::string CommandLineText(const char* commandLine);

#ifdef _WIN32
#include <windows.h>

class ProcessLock;

// Runs the program for the command-line text; the result is the process's
// exit code.
int StartUp(const std::string& text);
// Opens the main window (with initialText as its only line, when given) and
// runs the message loop until the quit message; returns its code.
int RunMainWindow(const char* initialText);
// Leaves the text for the running main window (null: for the window that
// is starting) and tells it. decision is the start-up's hold of the
// hand-off lock: the text is stored under it, and it is released before the
// window is told, because the window takes the texts under the same lock.
void HandOffFiles(const char* text, HWND runningWindow, ProcessLock& decision);
#endif
