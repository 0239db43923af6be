// Where a conversion reports its progress: the progress window of a batch on
// Windows, a recorder in tests, nobody for the quiet command. The job is
// handed a sink (or none) and calls it on the thread that converts.
#pragma once
#include <cstdint>

// Command ids of the progress messages, as the windows receive them.
constexpr int ID_PROGRESS_STEP = 103;
constexpr int ID_FRAME_COUNT = 107;
constexpr int ID_FRAME_DONE = 1020;
constexpr int ID_BATCH_DONE = 32773;

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // ID_PROGRESS_STEP: a new step; the status line shows `status`, a path
  // already shortened for display. The text is only valid during the call.
  virtual void Step(const char* status) = 0;
  // ID_FRAME_COUNT: frames of the file being converted.
  virtual void FrameCount(int32_t frames) = 0;
  // ID_FRAME_DONE: one more frame is being written.
  virtual void FrameDone() = 0;
  // ID_BATCH_DONE: the batch is over (to the main window).
  virtual void BatchDone() = 0;
};
