// Posting command messages to a window: the real thing on Windows, a small
// thread-safe queue standing in for the window elsewhere.
#pragma once
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
using WindowHandle = HWND;
#else
struct MessageWindow;
using WindowHandle = MessageWindow*;
#endif

// Command ids posted as WM_COMMAND (the id in the low word of wParam).
constexpr int ID_PROGRESS_STEP = 103;
constexpr int ID_FRAME_COUNT = 107;
constexpr int ID_FRAME_DONE = 1020;
constexpr int ID_BATCH_DONE = 32773;

// Posts WM_COMMAND(commandId, param) without waiting; a null window is ignored.
void PostCommand(WindowHandle window, int commandId, intptr_t param);

#ifndef _WIN32
struct PostedCommand {
  int commandId;
  intptr_t param;
};
MessageWindow* CreateMessageWindow();
void DestroyMessageWindow(MessageWindow* window);
// Takes the oldest posted command; false when none is waiting.
bool TakePostedCommand(MessageWindow* window, PostedCommand& out);
// Called on the posting thread for every command posted to the window
// (before it is queued); lets tests act at an exact point of a conversion.
using PostObserver = void (*)(void* context, const PostedCommand& command);
void ObservePosts(MessageWindow* window, PostObserver observer, void* context);
#endif
