// Starts as Windows 10/11 makes them: paths in quotes and several files on
// one command line (Explorer, Send To, a drop on the icon), a start-up
// marker whose
// copy is gone, a running window that does not answer, and other programs'
// windows that carry the main window's title.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "desktop/desktop_program.h"
#include "support/temp_folder.h"
#include "ui/main_dialog.h"

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

// Top-level windows of other programs titled as the main window, answering
// on a thread of their own: an Explorer window open on a folder of that
// name (Explorer's folder class) and a plain dialog.
class Lookalikes {
 public:
  Lookalikes() {
    thread_ = std::thread([this] {
      threadId_ = GetCurrentThreadId();
      WNDCLASSA folderClass = {};
      folderClass.lpfnWndProc = &DefWindowProcA;
      folderClass.hInstance = GetModuleHandleA(nullptr);
      folderClass.lpszClassName = "CabinetWClass";
      RegisterClassA(&folderClass);
      HWND folder = CreateWindowExA(0, "CabinetWClass", kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                                    nullptr, nullptr, folderClass.hInstance, nullptr);
      HWND dialog = CreateWindowExA(WS_EX_DLGMODALFRAME, "#32770", kTitle, WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 40,
                                    300, 200, nullptr, nullptr, nullptr, nullptr);
      created_ = folder && dialog;
      SetEvent(ready_);
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
      DestroyWindow(folder);
      DestroyWindow(dialog);
      UnregisterClassA("CabinetWClass", folderClass.hInstance);
    });
    WaitForSingleObject(ready_, 10000);
  }
  ~Lookalikes() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(ready_);
  }
  bool created() const { return created_; }

 private:
  HANDLE ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> created_{false};
  std::atomic<DWORD> threadId_{0};
  std::thread thread_;
};

TEST_F(DesktopProgram, WindowsOfOtherProgramsWithTheTitleAreNotTheMainWindow) {
  const std::string folder = FreshFolder("desktop-lookalikes");
  const std::string first = folder + "\\first.gif", second = folder + "\\second.gif";
  CopySource("tests/fixtures/gifs/qip_af.gif", first);
  CopySource("tests/fixtures/gifs/apache_pb.gif", second);
  Lookalikes lookalikes;
  ASSERT_TRUE(lookalikes.created());

  // A start without a file opens the window.
  {
    RunningProgram plain("");
    HWND window = WaitForWindow(kTitle, plain.id(), 10000);
    EXPECT_NE(window, nullptr) << "a lookalike was taken for the running window";
    if (window) Exit(plain, window);
  }
  // A start with a file opens the window listing it; a second start hands
  // its file to that window.
  RunningProgram program(first);
  HWND window = WaitForWindow(kTitle, program.id(), 10000);
  ASSERT_NE(window, nullptr) << "the file was handed to a lookalike";
  EXPECT_EQ(ListLines(window), std::vector<std::string>{first});
  EXPECT_TRUE(RunningProgram(second).WaitExit(15000));
  EXPECT_TRUE(WaitFor([&] { return ListLines(window).size() == 2; }, 5000));
  EXPECT_EQ(ListLines(window), (std::vector<std::string>{first, second}));
  Exit(program, window);
}

TEST_F(DesktopProgram, SenderDoesNotWaitForAWindowThatDoesNotAnswer) {
  const std::string file = FreshFolder("desktop-hung") + "\\sent.gif";
  CopySource("tests/fixtures/gifs/qip_af.gif", file);
  // A window with the main window's class and title whose thread stops
  // answering.
  HANDLE answerAgain = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool noticeWaited = false;
  WNDCLASSA mainClass = {};
  mainClass.lpfnWndProc = &DefWindowProcA;
  mainClass.hInstance = GetModuleHandleA(nullptr);
  mainClass.lpszClassName = kMainWindowClass;
  ASSERT_TRUE(RegisterClassA(&mainClass));
  std::thread hung([&] {
    HWND fake = CreateWindowExA(0, kMainWindowClass, kTitle, WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                mainClass.hInstance, nullptr);
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
  UnregisterClassA(kMainWindowClass, mainClass.hInstance);
}

}  // namespace
