#include "start_batch.h"

#include <string>
#include <thread>

#include "app/batch_worker.h"
#include "app/progress_sink.h"
#include "progress_dialog.h"

namespace {

// The result with which ID_BATCH_DONE closes the progress window.
constexpr INT_PTR kBatchDoneResult = 9;

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

// The worker's reports as commands posted to the windows; never waits for
// the user-interface thread.
class WindowProgress : public ProgressSink {
 public:
  WindowProgress(HWND mainWindow, StatusTexts& texts) : main_(mainWindow), texts_(texts) {}
  void SetWindow(HWND progress) { progress_ = progress; }
  bool donePosted() const { return donePosted_; }

  void Step(const char* status) override {
    texts_.Push(status);
    if (!Post(progress_, ID_PROGRESS_STEP, 0)) texts_.DropNewest();
  }
  void FrameCount(int32_t frames) override { Post(progress_, ID_FRAME_COUNT, frames); }
  void FrameDone() override { Post(progress_, ID_FRAME_DONE, 0); }
  void BatchDone() override { donePosted_ = Post(main_, ID_BATCH_DONE, 0); }

 private:
  static bool Post(HWND window, int id, LPARAM param) {
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), param) != 0;
  }

  HWND main_;
  HWND progress_ = nullptr;
  StatusTexts& texts_;
  bool donePosted_ = false;  // read only after the worker has ended
};

}  // namespace

void StartBatch(HWND mainWindow, const FileList& list, const MainWindowOptions& options, RunningBatch& running) {
  if (running.progress) return;  // one batch at a time
  BatchRequest request;
  request.fileList = list.text;
  request.lineCount = list.lineCount;
  request.changeLoop = options.changeLoop;
  request.loopForever = options.loopForever;
  request.playCount = options.playCount;
  request.useLinkUrl = options.useLinkUrl;
  if (options.useLinkUrl) request.linkUrl = options.linkUrl;
  request.errorCaption = ProgramName();

  // The request, the texts and the sink live here until the worker has
  // ended, so neither side can outlive them.
  StatusTexts texts;
  WindowProgress progress(mainWindow, texts);
  std::thread worker;
  ProgressDialog dialog(mainWindow, texts, [&](HWND window) {
    // The window exists now: every message of the batch reaches it.
    progress.SetWindow(window);
    request.errorOwner = window;
    worker = std::thread([&request, &progress] { RunBatch(request, &progress); });
  });
  dialog.SetFileRange(list.lineCount + 1);
  running.progress = &dialog;
  INT_PTR result = dialog.DoModal();
  running.progress = nullptr;

  // Closed for whatever reason: no further file, and the current one stops
  // in its emission pass (one in its counting pass still completes).
  request.cancel = true;
  request.jobCancel = true;
  if (worker.joinable()) worker.join();
  // Cancel came first, but the worker had already posted its BatchDone:
  // that one must not close the next batch's window.
  if (progress.donePosted() && result != kBatchDoneResult) ++running.staleDone;
}

void BatchDone(RunningBatch& running) {
  if (running.staleDone > 0) {
    --running.staleDone;
    return;
  }
  if (running.progress) running.progress->EndDialog(kBatchDoneResult);
}
