// The file paths of a start-up text. Explorer, Send To and a drop on the
// program's icon put a path with a blank in double quotes and pass several
// files on one line; an older caller passes one path without quotes, blanks
// and all. A blank therefore ends a path only where a new absolute path
// (a drive letter and colon, a "\\" share) or a quote follows: inside one
// absolute Windows path neither can come after a blank.
#pragma once
#include <string>
#include <vector>

// The paths of text in their order, without their quotes; blanks around
// them dropped; empty ones ("") left out.
[[nodiscard]] std::vector<std::string> StartUpPaths(const std::string& text);
[[nodiscard]] std::vector<std::wstring> StartUpPaths(const std::wstring& text);

// The text after the quiet command's "-quite" (exact case), or false when
// text does not start with it.
[[nodiscard]] bool QuietCommandRest(const std::string& text, std::string& rest);
