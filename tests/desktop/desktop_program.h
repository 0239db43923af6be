// What the tests of the desktop program share: a clean start for each test
// (empty settings key, no marker, no main window) and a few file checks.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "desktop/drive.h"
#include "support/gif_builder.h"
#include "support/settings_sandbox.h"

namespace desktop {

constexpr char kTitle[] = "Tervano v2.5";
constexpr char kMarker[] = "Software\\Tervano\\open";

inline bool MarkerExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMarker, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool FileStartsWith(const std::string& path, const std::string& head) {
  std::ifstream file(path, std::ios::binary);
  std::string got(head.size(), '\0');
  return file.read(&got[0], static_cast<std::streamsize>(got.size())) && got == head;
}

// A whole movie: "FWS" and a length field equal to the file's size.
inline bool IsWholeMovie(const std::string& path) {
  std::vector<uint8_t> b;
  return gifbuild::ReadFileBytes(path, b) && b.size() > 8 && b[0] == 'F' && b[1] == 'W' && b[2] == 'S' &&
         (b[4] | b[5] << 8 | b[6] << 16 | static_cast<uint32_t>(b[7]) << 24) == b.size();
}

inline std::string MovieOf(const std::string& gif) { return gif.substr(0, gif.size() - 3) + "swf"; }

// A file of the source tree (samples/, tests/fixtures/gifs/) copied to `to`.
inline void CopySource(const std::string& relative, const std::string& to) {
  char root[1024] = "";
  GetEnvironmentVariableA("TERVANO_SOURCE_DIR", root, sizeof root);
  std::string from = std::string(root) + "/" + relative;
  ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from;
}

// A GIF that takes seconds to convert: frames of four-colour noise, which
// the movie's compressor works hard on, a tenth of a second each.
inline bool MakeSlowGif(const std::string& path, int frames = 35) {
  const int width = 400, height = 300;
  gifbuild::GifBuilder gif(width, height, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
  uint32_t seed = 12345;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
  for (int f = 0; f < frames; ++f) {
    for (uint8_t& p : pixels) p = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 30);
    gif.GraphicControl(5, 1).Image(gifbuild::ImageDescriptor{0, 0, width, height}, pixels);
  }
  return gif.Trailer().Save(path);
}

// Under Wine, windows are framed by Wine itself rather than by a window
// manager: there is none on the test display, and each window that hides
// would wait two seconds for its answer. Read by every program started
// afterwards.
inline void UseWineFrames() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
  RegCloseKey(key);
}

// Each test starts from an empty settings key and no windows of its own.
class DesktopProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    char display[256];
    if (!GetEnvironmentVariableA("DISPLAY", display, sizeof display)) GTEST_SKIP() << "no X display";
    UseWineFrames();
    sandbox_.Clear();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMarker);
    ASSERT_EQ(CountWindows(kTitle), 0) << "a main window is already open";
  }
  void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMarker); }

  // Ends the window through its Exit command and checks the process ended.
  void Exit(RunningProgram& program, HWND window) {
    Command(window, 32775);
    DWORD code = 1;
    EXPECT_TRUE(program.WaitExit(15000, &code));
    EXPECT_EQ(code, 0u);
  }

  SettingsSandbox sandbox_;
};

}  // namespace desktop
