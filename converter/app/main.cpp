// The tervano program. "-quite FILE" converts one file without a window.
#include <cstdio>
#include <cstring>
#include <string>

#include "conversion_job.h"

#ifdef _WIN32
#include <windows.h>

// The command line as one text, without the program name.
static std::string CommandLineText() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  std::string text = CommandLineText();
#else
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
#endif
  if (text.compare(0, 6, "-quite") == 0) {
    QuietConvert(text.c_str());
    return 0;
  }
  std::fprintf(stderr, "usage: tervano -quite FILE.gif\n");
  return 2;
}
