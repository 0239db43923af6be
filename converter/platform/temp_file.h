// Private temporary files in the system temp folder.
#pragma once
#include <cstddef>
#include <cstdio>

// Creates a new file with a unique name (never shared with another process
// or job), opened for reading and writing in binary mode. Writes its path to
// pathOut. Returns nullptr when no such file can be made.
[[nodiscard]] FILE* CreatePrivateTempFile(const char* prefix, char* pathOut, size_t pathSize);
