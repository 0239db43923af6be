// The progress window of a batch: the current file, a bar for its frames, a
// bar for the batch, and Cancel. The worker thread drives it with posted
// commands only.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "framework.h"

// The status texts of a batch's steps, in the order they were written. The
// worker pushes one before it posts each step; the window takes one for
// each step it handles, so every step shows exactly its own text however far
// the worker has moved on. Owned by the batch, so it outlives both sides.
class StatusTexts {
 public:
  void Push(const char* text);
  // Takes back the text of a step whose message was never posted.
  void DropNewest();
  // The oldest text not yet shown; false when none is waiting.
  bool Pop(std::string& text);

 private:
  std::mutex mutex_;
  std::deque<std::string> texts_;
};

// A smooth progress bar of the template.
class ProgressBar : public StaticControl {
 public:
  const char* ClassName() const override { return "ProgressBar"; }
  void SetRange(int32_t upper);  // 0 to upper, as a 16-bit number
  void SetPos(int32_t position);
};

class ProgressDialog : public Dialog {
 public:
  // started runs once the window exists, before it shows: the place to
  // start the worker, whose messages then all reach the window.
  ProgressDialog(HWND parent, StatusTexts& texts, std::function<void(HWND)> started);

  void SetFileRange(int32_t range) { fileRange_ = range; }

 protected:
  bool OnCommand(int id, int code, HWND control) override;
  void DoDataExchange(DataExchange& exchange) override;
  bool OnInitDialog() override;

 private:
  StatusTexts& texts_;
  std::function<void(HWND)> started_;
  ProgressBar frameBar_;
  ProgressBar fileBar_;
  int32_t fileRange_ = 100;
  int32_t filePosition_ = 1;
  int32_t framePosition_ = 0;
};
