// The tervano program. On Windows every start goes through StartUp: the
// main window, a file handed to it, or "-quite FILE" converted without a
// window. Elsewhere the command line of command_line.h, and "-quite FILE"
// as on Windows.
#include <cstdio>
#include <string>

#include "conversion_job.h"
#include "start_up.h"

#ifdef _WIN32
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return StartUp(StartUpText());
}

#else
#include "command_line.h"
#include "command_run.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]).compare(0, 6, "-quite") == 0) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
      if (i > 1) text += ' ';
      text += argv[i];
    }
    return QuietConvert(text.c_str());
  }
  CommandLine command;
  if (!ParseCommandLine(argc, argv, command)) {
    std::fprintf(stderr, "tervano: %s\nTry 'tervano --help' for more information.\n", command.error.c_str());
    return 2;
  }
  return RunCommandLine(command);
}
#endif
