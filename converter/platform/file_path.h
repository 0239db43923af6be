// The one type a path has inside the program: UTF-8 on Windows (turned into
// UTF-16 at each system call), bytes as the system gave them on Linux.
#pragma once
#include <string>

using FilePath = std::string;
