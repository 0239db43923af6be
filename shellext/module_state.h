// What every object of the library shares within one process: the module
// handle, the number of live factories and handlers, and the locks taken
// through IClassFactory::LockServer.
#pragma once
#include <windows.h>

#include <atomic>

struct ModuleState {
  HINSTANCE instance = nullptr;
  // Atomic although COM calls each object on its own apartment's thread:
  // objects of different apartments may come and go at the same time.
  std::atomic<long> liveObjects{0};
  std::atomic<long> locks{0};
};
