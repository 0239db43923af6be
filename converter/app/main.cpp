// The tervano program. On Windows every start goes through StartUp: the
// main window, a file handed to it, or "-quite FILE" converted without a
// window. Elsewhere only the quiet conversion exists.
#include <cstdio>
#include <string>

#include "conversion_job.h"
#include "start_up.h"

#ifdef _WIN32
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return StartUp(CommandLineText(GetCommandLineA()));
}

#else

int main(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  if (text.compare(0, 6, "-quite") == 0) {
    QuietConvert(text.c_str());
    return 0;
  }
  std::fprintf(stderr, "usage: tervano -quite FILE.gif\n");
  return 2;
}
#endif
