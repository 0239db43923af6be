#include "start_batch.h"

#include <string>
#include <utility>

#include "app/batch_worker.h"
#include "app/progress_sink.h"
#include "progress_dialog.h"
#include "platform/path_limit.h"

namespace {

// The result with which ID_BATCH_DONE closes the progress window.
constexpr INT_PTR kBatchDoneResult = 9;

// The program's file name without folder and extension, for captions.
std::string ProgramName() {
  char path[kPathLimit] = "";
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

// The batch's messages as boxes, shown by the worker, which waits for them.
// A page's box has no owner, as the page writer's always had; the others
// belong to the progress window, so that Cancel cannot end the batch under
// an open box.
class MessageBoxNotices : public BatchNotices {
 public:
  explicit MessageBoxNotices(std::string caption) : caption_(std::move(caption)) {}
  void SetOwner(HWND owner) { owner_ = owner; }
  void Show(const BatchNotice& notice) override {
    if (notice.aboutPage)
      MessageBoxA(nullptr, notice.text.c_str(), "正在写入 HTML", MB_OK | MB_ICONEXCLAMATION);
    else
      MessageBoxA(owner_, notice.text.c_str(), caption_.c_str(), MB_OK | MB_ICONEXCLAMATION);
  }

 private:
  std::string caption_;
  HWND owner_ = nullptr;
};

struct Batch {
  BatchRequest& request;
  WindowProgress& progress;
  MessageBoxNotices& notices;
};

DWORD WINAPI BatchWorker(LPVOID parameter) {
  auto* batch = static_cast<Batch*>(parameter);
  RunBatch(batch->request, &batch->progress, &batch->notices);
  return 0;
}

// Waits for the worker to end. A file in its counting pass when Cancel came
// is still completed, which can take seconds, so the window goes on
// painting and taking handed-over files meanwhile (it takes no input), also
// after a close request. A quit message is put back for the main loop.
void WaitForWorker(HANDLE worker, HWND mainWindow) {
  bool enabled = IsWindowEnabled(mainWindow) != 0;
  if (enabled) EnableWindow(mainWindow, FALSE);
  bool quit = false;
  WPARAM quitCode = 0;
  while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  WaitForSingleObject(worker, INFINITE);
  if (enabled) EnableWindow(mainWindow, TRUE);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

}  // namespace

void StartBatch(HWND mainWindow, const FileList& list, const MainWindowOptions& options,
                const PublishSettings& publish, RunningBatch& running) {
  if (running.busy) return;  // one batch at a time
  BatchRequest request;
  request.fileList = list.text;
  request.lineCount = list.lineCount;
  request.window = options;
  request.publish = publish;
  MessageBoxNotices notices(ProgramName());

  // The request, the texts and the sink live here until the worker has
  // ended, so neither the worker nor the window can outlive them.
  StatusTexts texts;
  WindowProgress progress(mainWindow, texts);
  Batch batch = {request, progress, notices};
  HANDLE worker = nullptr;
  ProgressDialog dialog(mainWindow, texts, [&](HWND window) {
    // The window exists now: every message of the batch reaches it.
    progress.SetWindow(window);
    notices.SetOwner(window);
    worker = CreateThread(nullptr, 0, &BatchWorker, &batch, 0, nullptr);
    if (!worker) PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);  // nothing will end it
  });
  dialog.SetFileRange(list.lineCount + 1);
  running.busy = true;
  running.doneSeen = false;
  running.progress = &dialog;
  dialog.DoModal();
  running.progress = nullptr;

  // Closed for whatever reason: no further file, and the current one stops
  // in its emission pass.
  request.cancel = true;
  request.jobCancel = true;
  if (worker) {
    WaitForWorker(worker, mainWindow);
    CloseHandle(worker);
  }
  // Cancel ended the batch, but the worker had already posted its BatchDone:
  // that one must not close the next batch's window.
  if (progress.donePosted() && !running.doneSeen) ++running.staleDone;
  running.busy = false;
}

void OnBatchDoneMessage(RunningBatch& running) {
  if (running.staleDone > 0) {
    --running.staleDone;
    return;
  }
  running.doneSeen = true;
  if (running.progress) running.progress->EndDialog(kBatchDoneResult);
}
