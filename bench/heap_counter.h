// Live heap bytes of the process, counted by the allocator replacement in
// heap_counter.cpp (every malloc, calloc, realloc and operator new).
#pragma once
#include <cstdint>

namespace heap {

int64_t Live();
// Highest live heap since the last ResetPeak.
int64_t Peak();
// Starts a new peak at the current live size.
void ResetPeak();

}  // namespace heap
