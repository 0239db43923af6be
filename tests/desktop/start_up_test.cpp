// Starts as Windows 10/11 makes them: paths in quotes and several files on
// one command line (Explorer, Send To, a drop on the icon), a name that
// code page 936 lacks on the wide command line, a start-up marker whose
// copy is gone, and a running window that does not answer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "desktop/desktop_program.h"
#include "support/temp_folder.h"

namespace {

using namespace desktop;

TEST_F(DesktopProgram, QuotedAndSeveralPathsOnOneCommandLine) {
  std::string folder = FreshFolder("desktop-quoted") + "\\My Pics";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string spaced = folder + "\\a b.gif", plain = folder + "\\c.gif";
  CopySource("tests/fixtures/gifs/qip_af.gif", spaced);
  CopySource("tests/fixtures/gifs/apache_pb.gif", plain);

  RunningProgram program("\"" + spaced + "\" \"" + plain + "\"");
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ListLines(window), (std::vector<std::string>{spaced, plain}));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 1016)));
  ASSERT_TRUE(Send(window, 1016));  // convert: both movies, none for a quoted name
  EXPECT_TRUE(WaitFor([&] { return IsWholeMovie(MovieOf(spaced)) && IsWholeMovie(MovieOf(plain)); }, 30000));

  // A second start with two files hands both over, without their quotes.
  const std::string more = folder + "\\d e.gif", last = folder + "\\f.gif";
  CopySource("tests/fixtures/gifs/gnunet_error.gif", more);
  CopySource("tests/fixtures/gifs/mrtg_msie.gif", last);
  EXPECT_TRUE(RunningProgram("\"" + more + "\" " + last).WaitExit(15000));
  EXPECT_EQ(ListLines(window), (std::vector<std::string>{spaced, plain, more, last}));
  Exit(program, window);

  // The quiet command converts each of its files.
  DeleteFileA(MovieOf(more).c_str());
  DeleteFileA(MovieOf(last).c_str());
  EXPECT_TRUE(RunningProgram("-quite \"" + more + "\" " + last).WaitExit(30000));
  EXPECT_TRUE(IsWholeMovie(MovieOf(more)));
  EXPECT_TRUE(IsWholeMovie(MovieOf(last)));
}

TEST_F(DesktopProgram, NameOutsideTheCodePageArrivesAsItsShortName) {
  const std::wstring folder = [] {
    std::string narrow = FreshFolder("desktop-hangul");
    return std::wstring(narrow.begin(), narrow.end());  // ASCII
  }();
  const std::wstring hangul = folder + L"\\사진 모음.gif";
  {
    std::string narrow(folder.begin(), folder.end());
    CopySource("tests/fixtures/gifs/luma_clock.gif", narrow + "\\plain.gif");
    ASSERT_TRUE(MoveFileW((folder + L"\\plain.gif").c_str(), hangul.c_str()));
  }
  wchar_t shortWide[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameW(hangul.c_str(), shortWide, MAX_PATH), 0u);
  const std::string shortName(shortWide, shortWide + wcslen(shortWide));  // ASCII
  // As Send To starts it: the wide command line, the path quoted.
  const std::string program = ProgramPath();  // ASCII
  std::wstring line = L"\"" + std::wstring(program.begin(), program.end()) + L"\" \"" + hangul + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  HWND window = WaitForWindow(kTitle, process.dwProcessId);
  EXPECT_NE(window, nullptr);
  if (window) {
    EXPECT_EQ(ListLines(window), std::vector<std::string>{shortName});
    Command(window, 32775);
  }
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
  if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 99);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

TEST_F(DesktopProgram, MarkerOfACopyThatIsGoneDoesNotBlock) {
  const std::string late = FreshFolder("desktop-stale") + "\\late.gif";
  CopySource("tests/fixtures/gifs/ntpsec_peer.gif", late);
  HKEY marker = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMarker, 0, nullptr, 0, KEY_WRITE, nullptr, &marker, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(marker);
  RunningProgram program(late);
  HWND window = WaitForWindow(kTitle, program.id());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ListLines(window), std::vector<std::string>{late});
  EXPECT_FALSE(MarkerExists());
  Exit(program, window);
}

TEST_F(DesktopProgram, SenderDoesNotWaitForAWindowThatDoesNotAnswer) {
  const std::string file = FreshFolder("desktop-hung") + "\\sent.gif";
  CopySource("tests/fixtures/gifs/qip_af.gif", file);
  // A window with the main window's title whose thread stops answering.
  HANDLE answerAgain = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool noticeWaited = false;
  std::thread hung([&] {
    HWND fake = CreateWindowExA(0, "STATIC", kTitle, WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    SetEvent(ready);
    WaitForSingleObject(answerAgain, 60000);
    MSG msg;
    noticeWaited = PeekMessageA(&msg, fake, WM_USER + 10, WM_USER + 10, PM_REMOVE) != 0;
    DestroyWindow(fake);
  });
  WaitForSingleObject(ready, 10000);

  RunningProgram sender(file);
  FILETIME start;
  GetSystemTimeAsFileTime(&start);
  bool ended = sender.WaitExit(15000);
  EXPECT_TRUE(ended) << "the sender waits for the window";
  if (ended) {
    EXPECT_LT(sender.EndedAfter(start), 8000);
  }
  // The file waits in the settings key for the window to take it.
  char text[MAX_PATH] = "";
  DWORD size = sizeof text;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Tervano", "1", RRF_RT_REG_SZ, nullptr, text, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(text), file);
  SetEvent(answerAgain);
  hung.join();
  EXPECT_TRUE(noticeWaited) << "no notice left for the window";
  CloseHandle(answerAgain);
  CloseHandle(ready);
}

}  // namespace
