// The batch: every file line of the main window's list converted one after
// the other, reporting to the progress window. The worker itself is plain
// C++; the Windows side starts it on a thread, shows the progress and the
// messages.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "conversion_result.h"
#include "settings_store.h"

class ProgressSink;

// What the batch works on: copies made before the worker starts, and the
// two cancel flags that the user-interface thread sets when the progress
// window closes.
struct BatchRequest {
  std::string fileList;      // CR LF separated lines
  int32_t lineCount = 0;     // lines of fileList, destination lines included
  MainWindowOptions window;  // the main window's loop and link choices
  PublishSettings publish;   // the main window's publish settings
  std::atomic<bool> cancel{false};     // no further file after the current one
  std::atomic<bool> jobCancel{false};  // the current file stops (its emission pass)
};

// One message of the batch for the user, about one file.
struct BatchNotice {
  // The page writer's own caption ("正在写入 HTML", no owner) for a page;
  // the program's name, over the progress window, for everything else.
  bool aboutPage = false;
  std::string text;
  bool stopsBatch = false;  // no later line is converted
};

// Where the batch's messages go: message boxes on Windows. Show returns
// once the user has seen the message.
class BatchNotices {
 public:
  virtual ~BatchNotices() = default;
  virtual void Show(const BatchNotice& notice) = 0;
};

// The message for a file that was not converted (and whether the batch
// stops there), or an empty text for kConverted and kCancelled.
[[nodiscard]] BatchNotice NoticeFor(const ConversionResult& result);
// The message for a line whose movie is already the movie of an earlier
// line of the same batch.
[[nodiscard]] BatchNotice DuplicateMovieNotice(const std::string& destination);

// The status line for a destination: shortened for display, ASCII capitals
// in lower case. out holds at least 260 bytes.
void MakeBatchStatusText(const std::string& destination, char* out);

// Converts every file of the request. A file that cannot be read, is no
// GIF or would replace its source, a page that cannot be written, and a
// second line for a movie already made in this batch are told and the batch
// goes on; a movie that cannot be written is told and ends the batch. Also
// stops after a file during which request.cancel was set; only a batch that
// was not cancelled ends with BatchDone. progress and notices may be null.
void RunBatch(BatchRequest& request, ProgressSink* progress, BatchNotices* notices);
