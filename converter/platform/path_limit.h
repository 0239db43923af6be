// The program's paths and registry texts live in buffers of this many bytes:
// at most 259 bytes plus the terminating zero, Windows' MAX_PATH (checked
// in ansi_path.cpp).
#pragma once
#include <cstddef>

constexpr size_t kPathLimit = 260;
