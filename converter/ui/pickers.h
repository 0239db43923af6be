// The four modal pickers of the main window over the standard file and
// folder dialogs. Each returns 1 with its result, or 0 when the user
// cancelled or the dialog failed; no picker shows messages of its own.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Size of the open-file dialog's result area (folder and all names).
constexpr size_t kPickedFilesArea = 26000;

// GIF files, several at once, starting in startFolder. Full paths in the
// dialog's order. A selection too large for the result area gives 0.
int ChooseGifFiles(HWND owner, const std::string& startFolder, std::vector<std::string>& paths);
// A destination folder of at least 3 characters.
int BrowseDestinationFolder(HWND owner, std::string& folder);
// A movie file name, proposed as proposedPath (left out when it is not a
// usable path).
int AskSaveFile(HWND owner, const std::string& proposedPath, std::string& chosenPath);
// A folder for the movies of several files, starting at startFolder.
int BrowseSaveFolder(HWND owner, const std::string& startFolder, std::string& folder);
