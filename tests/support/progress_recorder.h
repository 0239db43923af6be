// A progress sink that keeps what a conversion reported, in order, and can
// act at an exact point of it (for example cancel at the first frame).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/progress_sink.h"

struct ProgressEvent {
  int commandId = 0;
  int32_t param = 0;
  std::string status;  // the text of a step
};

class ProgressRecorder : public ProgressSink {
 public:
  void Step(const char* status) override { Add({ID_PROGRESS_STEP, 0, status ? status : ""}); }
  void FrameCount(int32_t frames) override { Add({ID_FRAME_COUNT, frames, ""}); }
  void FrameDone() override { Add({ID_FRAME_DONE, 0, ""}); }
  void BatchDone() override { Add({ID_BATCH_DONE, 0, ""}); }

  int Count(int commandId) const {
    int n = 0;
    for (const ProgressEvent& e : events) n += e.commandId == commandId;
    return n;
  }
  // The frame count reported between the passes; -1 when none was.
  int32_t FramesCounted() const {
    for (const ProgressEvent& e : events)
      if (e.commandId == ID_FRAME_COUNT) return e.param;
    return -1;
  }

  std::vector<ProgressEvent> events;
  // Called with every event after it is kept.
  std::function<void(const ProgressEvent&)> observer;

 private:
  void Add(const ProgressEvent& e) {
    events.push_back(e);
    if (observer) observer(e);
  }
};
