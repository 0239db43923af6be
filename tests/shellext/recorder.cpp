// Stands in for the converter: appends its own (wide) command line as one
// UTF-8 line to the file named by TERVANO_RECORD_FILE. Several copies may
// start at once, so each waits for the file to be free. A GUI program that
// never asks for a message, as the converter's quiet conversion is; with
// TERVANO_RECORD_HOLD naming a file, it then runs on until that file exists.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  wchar_t file[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"TERVANO_RECORD_FILE", file, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;
  const wchar_t* wide = GetCommandLineW();
  int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return 2;
  std::string line(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &line[0], size, nullptr, nullptr);
  line.back() = '\n';
  bool written = false;
  for (int attempt = 0; attempt < 500 && !written; ++attempt) {
    HANDLE out = CreateFileW(file, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (out == INVALID_HANDLE_VALUE) {
      Sleep(10);
      continue;
    }
    DWORD done = 0;
    WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &done, nullptr);
    CloseHandle(out);
    written = true;
  }
  wchar_t hold[MAX_PATH];
  length = GetEnvironmentVariableW(L"TERVANO_RECORD_HOLD", hold, MAX_PATH);
  if (written && length > 0 && length < MAX_PATH) {
    for (int wait = 0; wait < 1200 && GetFileAttributesW(hold) == INVALID_FILE_ATTRIBUTES; ++wait)
      Sleep(50);
  }
  return written ? 0 : 1;
}
