#include "window_messages.h"

#ifdef _WIN32

void PostCommand(WindowHandle window, int commandId, intptr_t param) {
  if (window) PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(commandId), static_cast<LPARAM>(param));
}

#else

#include <deque>
#include <mutex>
#include <new>

struct MessageWindow {
  std::mutex lock;
  std::deque<PostedCommand> queue;
  PostObserver observer = nullptr;
  void* context = nullptr;
};

MessageWindow* CreateMessageWindow() { return new (std::nothrow) MessageWindow; }

void DestroyMessageWindow(MessageWindow* window) { delete window; }

void PostCommand(WindowHandle window, int commandId, intptr_t param) {
  if (!window) return;
  PostedCommand command{commandId, param};
  if (window->observer) window->observer(window->context, command);
  std::lock_guard<std::mutex> hold(window->lock);
  window->queue.push_back(command);
}

void ObservePosts(MessageWindow* window, PostObserver observer, void* context) {
  std::lock_guard<std::mutex> hold(window->lock);
  window->observer = observer;
  window->context = context;
}

bool TakePostedCommand(MessageWindow* window, PostedCommand& out) {
  if (!window) return false;
  std::lock_guard<std::mutex> hold(window->lock);
  if (window->queue.empty()) return false;
  out = window->queue.front();
  window->queue.pop_front();
  return true;
}

#endif
