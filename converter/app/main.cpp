// The tervano program outside Windows: the command line of command_line.h,
// and "-quite FILE" as on Windows (where every start goes through StartUp,
// ui/win_main.cpp).
#include <cstdio>
#include <string>

#include "conversion_job.h"
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
