// Stands in for the converter: appends its own command line as one line to
// the file named by TERVANO_RECORD_FILE. Several copies may start at once,
// so each waits for the file to be free.
#include <windows.h>

#include <cstring>

int main() {
  char file[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("TERVANO_RECORD_FILE", file, sizeof file);
  if (length == 0 || length >= sizeof file) return 2;
  const char* line = GetCommandLineA();
  for (int attempt = 0; attempt < 500; ++attempt) {
    HANDLE out = CreateFileA(file, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(out, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
      WriteFile(out, "\n", 1, &written, nullptr);
      CloseHandle(out);
      return 0;
    }
    Sleep(10);
  }
  return 1;
}
