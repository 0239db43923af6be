// Whether two paths lead to one file.
#pragma once

// True when both paths name the same existing file, however they are
// spelt (case, links, relative parts). False when either does not exist.
bool IsSameFile(const char* a, const char* b);
