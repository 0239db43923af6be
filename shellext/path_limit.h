// Paths and registry texts of the extension fit buffers of this many
// characters, the zero included: Windows' MAX_PATH. The extension includes
// nothing of converter/, so it keeps its own copy of the program's limit.
#pragma once
#include <cstddef>

constexpr size_t kPathLimit = 260;
