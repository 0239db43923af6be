// What the main window's commands do to its list, counters, play count and
// options, kept apart from the controls so it runs and is tested anywhere.
// The window moves these values into its controls and back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "conversion_options.h"
#include "settings_store.h"

// "(尚未添加源文件)" in GB2312: the list text while the list is empty.
extern const char kEmptyListText[];

struct FileList {
  std::string text = kEmptyListText;
  int32_t lineCount = 0;  // file lines and destination lines
  int32_t destCount = 0;  // destination lines
};

// Back to the empty list.
void ResetList(FileList& list);
// Appends one file line (the first line replaces the placeholder).
void AppendSourceLine(FileList& list, const std::string& path);
// Add files: the picked paths, in order, as new file lines.
void AddPickedFiles(FileList& list, const std::vector<std::string>& paths);
// Makes folder the destination of the files added from now on: replaces a
// destination line that ends the list, else appends one.
void SetDestinationLine(FileList& list, const std::string& folder);

// Files ready to convert, and the text of the count label for them:
// empty, "1 个文件准备转换" or the number and " 个文件准备转换".
[[nodiscard]] int32_t ReadyCount(const FileList& list);
[[nodiscard]] std::string ReadyCountText(const FileList& list);

// Save as, first step: the list's convertible files, and the paths of the
// last file line walked (converted or not).
struct SaveAsPlan {
  std::string collected;  // "\r\n" + source, for every file to convert
  int32_t files = 0;      // how many were collected
  std::string lastSource;
  std::string lastDestination;
  bool singleFile = false;  // exactly one file ready: ask for a file name, not a folder
};
[[nodiscard]] SaveAsPlan PlanSaveAs(const FileList& list);
// The folder of a chosen path: cut at its last backslash; a bare drive
// ("C:") gets its backslash back. Empty when the path has no backslash.
[[nodiscard]] std::string FolderOfPath(const std::string& path);
// Save as, confirmed: the list becomes one destination line for folder and
// the collected files.
void ApplySaveAs(FileList& list, const SaveAsPlan& plan, const std::string& folder);

// Play-count field changed: keeps playCount within 1..65535 and rewrites the
// text. Returns true when the caret should go to the end of the field.
[[nodiscard]] bool NormalisePlayCount(MainWindowOptions& options);
// Play-count field lost the focus: an empty field means loop forever,
// unless the focus went to the loop-forever box. True when it switched.
[[nodiscard]] bool EmptyPlayCountLeft(MainWindowOptions& options, bool focusToLoopForever);

// Enabled states of the loop controls.
struct LoopControls {
  bool loopForeverBox;  // 1009
  bool countFields;     // 1037, 1027, 1038
};
[[nodiscard]] LoopControls LoopControlStates(const MainWindowOptions& options);

// The options of one conversion of the list.
[[nodiscard]] ConversionOptions BatchOptions(const MainWindowOptions& window, const PublishSettings& publish);

// Command line that opens url with the registered command for web pages:
// the command cut before its "%1" placeholder (and the quote in front of
// it), a blank, then the url.
[[nodiscard]] std::string BuildOpenCommand(const std::string& registered, const std::string& url);

// The result area of a multi-select open-file dialog: either one full path,
// or a folder followed by names, each zero-terminated, ending with an empty
// text. Gives full paths, folder and name joined by exactly one backslash.
// A result without its final terminator within size gives nothing.
[[nodiscard]] std::vector<std::string> SplitPickedFiles(const char* area, size_t size);
