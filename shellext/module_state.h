// What every object of the library shares within one process: the module
// handle, the menu glyph and the number of live factories and handlers.
#pragma once
#include <windows.h>

#include <atomic>

struct ModuleState {
  HINSTANCE instance = nullptr;
  HBITMAP menuBitmap = nullptr;
  // Atomic although COM calls each object on its own apartment's thread:
  // objects of different apartments may come and go at the same time.
  std::atomic<long> liveObjects{0};
};
