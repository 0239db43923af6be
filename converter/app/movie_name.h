// The movie's name for a GIF in the desktop program: the quiet conversion and
// the main window's list both name it so. (The Linux command line replaces
// any last extension instead, see MoviePath in command_run.cpp.)
#pragma once
#include <string>

// gifPath with its last three characters (its "gif") replaced by "swf";
// gifPath has at least three.
[[nodiscard]] std::string MoviePathOf(const std::string& gifPath);
