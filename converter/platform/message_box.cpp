#include "message_box.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<MessageBoxRecorder*> g_recorder{nullptr};

#ifndef _WIN32
int FirstButton(unsigned style) {
  switch (style & 0x0F) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
  }
}
#endif

}  // namespace

MessageBoxRecorder::MessageBoxRecorder(int answer)
    : answer_(answer), previous_(g_recorder.exchange(this)) {}

MessageBoxRecorder::~MessageBoxRecorder() { g_recorder.store(previous_); }

std::vector<RecordedMessageBox> MessageBoxRecorder::Boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

int MessageBoxRecorder::Record(const RecordedMessageBox& box) {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_.push_back(box);
  return answer_;
}

int ShowMessageBox(WindowHandle owner, const char* text, const char* caption,
                   unsigned style) {
  if (MessageBoxRecorder* recorder = g_recorder.load()) {
    int answer = 1;
    try {
      RecordedMessageBox box;
      box.hadOwner = owner != nullptr;
      box.text = text ? text : "";
      box.caption = caption ? caption : "";
      box.style = style;
      answer = recorder->Record(box);
    } catch (...) {
    }
#ifndef _WIN32
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
#endif
    return answer;
  }
#ifdef _WIN32
  return MessageBoxA(owner, text, caption, style);
#else
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  return FirstButton(style);
#endif
}
