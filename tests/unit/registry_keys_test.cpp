// The registry keys of the program. On Windows (Wine) these run against the
// real registry, so they also check that the file store used elsewhere
// answers the same way.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/registry_key_data.h"
#include "platform/registry_keys.h"
#include "support/settings_sandbox.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>
#endif

namespace {

const char* const kKey = "Software\\Tervano";
const char* const kMarker = "Software\\Tervano\\open";

KeyResult SetRaw(const char* name, uint32_t type, const std::string& bytes) {
  return WriteKeyData(kKey, name, type, bytes.data(), bytes.size());
}

std::string Text(const char* name, int expectedResult = 1) {
  std::string text = "stale";
  EXPECT_EQ(ReadKeyText(kKey, name, text), expectedResult) << name;
  return text;
}

int32_t Number(const char* name, int expectedResult = 1) {
  int32_t number = 77;
  EXPECT_EQ(ReadKeyNumber(kKey, name, number), expectedResult) << name;
  return number;
}

TEST(RegistryKeys, TextsKeepTheirBytesUpTo260) {
  SettingsSandbox sandbox;
  // "C:\图片\动画.gif" with a quoted part, in GBK
  const char gbk[] = "C:\\\xCD\xBC\xC6\xAC\\\xB6\xAF\xBB\xAD \"q\".gif";
  ASSERT_TRUE(WriteKeyNumber(kKey, "NumFiles", 7).done());
  ASSERT_TRUE(WriteKeyText(kKey, "1", gbk).done());
  EXPECT_EQ(Text("1"), gbk);
#ifndef _WIN32
  // The real registry converts texts through the ANSI code page (936 under
  // Wine here), where these UTF-8 bytes are no valid text.
  const char utf8[] = "/home/\xE5\x9B\xBE\xE7\x89\x87/\xE5\x8A\xA8\xE7\x94\xBB.gif";
  ASSERT_TRUE(WriteKeyText(kKey, "2", utf8).done());
  EXPECT_EQ(Text("2"), utf8);
#endif
  // deleting one value leaves the others
  EXPECT_TRUE(DeleteKeyValue(kKey, "1").done());
  EXPECT_EQ(Text("1", 0), "");
  EXPECT_TRUE(DeleteKeyValue(kKey, "1").done());  // nothing left to delete
  EXPECT_EQ(Number("NumFiles"), 7);

  ASSERT_TRUE(WriteKeyText(kKey, "Empty", "").done());
  EXPECT_EQ(Text("Empty"), "");
  EXPECT_EQ(Text("EMPTY"), "");  // names do not depend on case

  std::string longest(259, 'L');  // 260 bytes with its zero
  ASSERT_TRUE(WriteKeyText(kKey, "Long", longest.c_str()).done());
  EXPECT_EQ(Text("Long"), longest);
  ASSERT_TRUE(WriteKeyText(kKey, "Long", (longest + "M").c_str()).done());
  EXPECT_EQ(Text("Long", 0), "");
  // data without a zero is a whole text; 261 bytes are too many
  ASSERT_TRUE(SetRaw("Long", kRegText, std::string(259, 'N')).done());
  EXPECT_EQ(Text("Long"), std::string(259, 'N'));
  ASSERT_TRUE(SetRaw("Long", kRegBinary, std::string(261, 'N')).done());
  EXPECT_EQ(Text("Long", 0), "");
  ASSERT_TRUE(SetRaw("Zeros", kRegText, std::string("ab\0cd\0", 6)).done());
  EXPECT_EQ(Text("Zeros"), "ab");
  ASSERT_TRUE(SetRaw("Zeros", kRegText, "").done());  // no bytes at all, not even a zero
  uint32_t type = 0;
  char data[8];
  size_t size = 99;
  EXPECT_EQ(ReadKeyData(kKey, "Zeros", type, data, sizeof data, size), 1);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(Text("Missing", 0), "");
}

TEST(RegistryKeys, NumbersAreTheLittleEndianBytesOfAtMostFour) {
  SettingsSandbox sandbox;
  for (int32_t n : {INT32_MIN, -1, 0x01020304}) {
    ASSERT_TRUE(WriteKeyNumber(kKey, "NumFiles", n).done());
    EXPECT_EQ(Number("numfiles"), n);
  }
  uint32_t type = 0;
  char data[8];
  size_t size = 0;
  ASSERT_EQ(ReadKeyData(kKey, "NumFiles", type, data, sizeof data, size), 1);
  EXPECT_EQ(type, kRegNumber);
  EXPECT_EQ(std::string(data, size), "\x04\x03\x02\x01");

  ASSERT_TRUE(SetRaw("Short", kRegBinary, "\x34\x12").done());
  EXPECT_EQ(Number("Short"), 0x1234);
  ASSERT_TRUE(SetRaw("Short", kRegBinary, "\x01\x02\xF3").done());
  EXPECT_EQ(Number("Short"), 0xF30201);
  ASSERT_TRUE(SetRaw("Short", kRegBinary, "").done());
  EXPECT_EQ(Number("Short"), 0);
  ASSERT_TRUE(SetRaw("Long", kRegBinary, std::string("\x01\x00\x00\x00\x00", 5)).done());
  EXPECT_EQ(Number("Long", 0), 0);
  EXPECT_EQ(Number("Missing", 0), 0);
}

TEST(RegistryKeys, StartUpMarkerIsCreatedTestedAndDeleted) {
  SettingsSandbox sandbox;
  ASSERT_TRUE(WriteKeyNumber(kKey, "OptionHTML", 1).done());
  EXPECT_EQ(KeyExists(kMarker), 0);
  EXPECT_TRUE(CreateKey(kMarker).done());
  EXPECT_EQ(KeyExists(kMarker), 1);
  EXPECT_EQ(KeyExists("SOFTWARE\\TERVANO\\OPEN"), 1);
  EXPECT_TRUE(CreateKey(kMarker).done());  // already there
  EXPECT_EQ(KeyExists(kKey), 1);
  EXPECT_TRUE(DeleteKey(kMarker).done());
  EXPECT_EQ(KeyExists(kMarker), 0);
  EXPECT_TRUE(DeleteKey(kMarker).done());  // a missing key is no error
  EXPECT_EQ(KeyExists(kKey), 1);
  EXPECT_EQ(Number("OptionHTML"), 1);
}

#ifndef _WIN32

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(RegistryKeyFiles, ReadingCreatesNoFileOrFolder) {
  SettingsSandbox sandbox;
  std::string folder = sandbox.folder() + "/not-yet";
  SavedVariable dir("TERVANO_CONFIG_DIR");
  dir.Set(folder.c_str());
  EXPECT_EQ(Number("OptionHTML", 0), 0);
  EXPECT_EQ(Text("OptionURLName", 0), "");
  EXPECT_EQ(KeyExists(kMarker), 0);
  EXPECT_TRUE(DeleteKey(kMarker).done());
  EXPECT_FALSE(fs::exists(folder));
  ASSERT_TRUE(WriteKeyNumber(kKey, "OptionHTML", 1).done());
  EXPECT_TRUE(fs::is_regular_file(folder + "/hkey_local_machine+software+tervano.reg"));
}

TEST(RegistryKeyFiles, FolderFollowsTheEnvironment) {
  SettingsSandbox sandbox;
  SavedVariable own("TERVANO_CONFIG_DIR"), xdg("XDG_CONFIG_HOME"), home("HOME");
  own.Set(nullptr);
  xdg.Set((sandbox.folder() + "/xdg").c_str());
  home.Set((sandbox.folder() + "/home").c_str());
  ASSERT_TRUE(CreateKey(kKey).done());
  EXPECT_TRUE(
      fs::exists(sandbox.folder() + "/xdg/tervano/hkey_local_machine+software+tervano.reg"));
  xdg.Set("relative/config");  // not absolute: ignored
  ASSERT_TRUE(CreateKey(kKey).done());
  EXPECT_TRUE(fs::exists(sandbox.folder() +
                         "/home/.config/tervano/hkey_local_machine+software+tervano.reg"));
}

// Files that the first store (an emulation of the registry API) wrote are
// read value by value, and rewriting one changes nothing but what changed.
TEST(RegistryKeyFiles, FilesOfTheFirstStoreAreReadAndRewrittenAlike) {
  SettingsSandbox sandbox;
  const std::string fixtures = TERVANO_FIXTURE_DIR "/settings";
  const std::string settings = "/hkey_local_machine+software+tervano.reg";
  const std::string marker = "/hkey_local_machine+software+tervano+open.reg";
  for (const std::string& name : {settings, marker})
    fs::copy_file(fixtures + name, sandbox.folder() + name);

  EXPECT_EQ(Number("OptionTransparent"), 1);
  EXPECT_EQ(Number("OptionHTML"), 0);
  EXPECT_EQ(Number("OptionLoopValue"), 65535);
  EXPECT_EQ(Number("OptionProtect"), -1);
  EXPECT_EQ(Number("NumFiles"), 3);
  EXPECT_EQ(Number("OptionCanvasSize"), 0x1234);  // 2 bytes
  EXPECT_EQ(Number("OptionBackGround", 0), 0);    // 5 bytes
  EXPECT_EQ(Text("OptionURLName"),
            "http://\xE4\xBE\x8B\xE5\xAD\x90.example/\xE8\xAF\xA5?a=\"b\"\\c");
  EXPECT_EQ(Text("ExecString"), "\"C:\\Program Files\\Tervano\\tervano.exe\"");
  EXPECT_EQ(Text("ContextMenuString"), "");
  EXPECT_EQ(Text("1"), "C:\\\xCD\xBC\xC6\xAC\\\xB6\xAF\xBB\xAD.gif");
  EXPECT_EQ(Text("2", 0), "");
  EXPECT_EQ(Text("3"), "/home/\xE5\x9B\xBE\xE7\x89\x87/a b.gif");
  EXPECT_EQ(Text("Lines"), "a\r\nb");
  EXPECT_EQ(Text("Longest"), std::string(259, 'L'));
  EXPECT_EQ(Text("TooLong", 0), "");
  EXPECT_EQ(Text("NoZero"), std::string(260, 'N'));
  uint32_t type = 0;
  char data[64];
  size_t size = 0;
  ASSERT_EQ(ReadKeyData(kKey, "Binary", type, data, sizeof data, size), 1);
  EXPECT_EQ(type, kRegBinary);
  ASSERT_EQ(size, 40u);
  for (size_t i = 0; i < size; ++i) EXPECT_EQ(static_cast<unsigned char>(data[i]), i * 7 % 256);
  EXPECT_EQ(KeyExists(kMarker), 1);

  // the same number under another spelling: the file stays byte for byte
  ASSERT_TRUE(WriteKeyNumber(kKey, "numfiles", 3).done());
  EXPECT_EQ(ReadFile(sandbox.folder() + settings), ReadFile(fixtures + settings));
  ASSERT_TRUE(WriteKeyNumber(kKey, "NumFiles", 0).done());
  std::string expected = ReadFile(fixtures + settings);
  size_t at = expected.find("\"NumFiles\"=dword:00000003");
  ASSERT_NE(at, std::string::npos);
  expected[at + 24] = '0';
  EXPECT_EQ(ReadFile(sandbox.folder() + settings), expected);
  EXPECT_TRUE(DeleteKey(kMarker).done());
  EXPECT_FALSE(fs::exists(sandbox.folder() + marker));
}

// Writers in several processes and threads at once lose nothing, a reader
// never sees a half-written file, and no temporary file stays behind.
TEST(RegistryKeyFiles, ConcurrentWritersLoseNothing) {
  SettingsSandbox sandbox;
  ASSERT_TRUE(WriteKeyText(kKey, "Sentinel", "here").done());
  constexpr int kProcesses = 3, kThreads = 2, kValues = 40;
  auto writeMany = [](int writer) {
    bool ok = true;
    for (int v = 0; v < kValues; ++v) {
      std::string name = "W" + std::to_string(writer) + "_" + std::to_string(v);
      ok = WriteKeyNumber(kKey, name.c_str(), writer * 1000 + v).done() && ok;
    }
    return ok;
  };
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(writeMany(p) ? 0 : 1);
    children.push_back(pid);
  }
  std::vector<std::thread> threads;
  std::vector<int> threadOk(kThreads, 0);
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] { threadOk[t] = writeMany(kProcesses + t); });

  int missedSentinel = 0;
  for (int i = 0; i < 200; ++i) {
    std::string text;
    if (ReadKeyText(kKey, "Sentinel", text) != 1 || text != "here") ++missedSentinel;
  }
  for (std::thread& t : threads) t.join();
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(threadOk, std::vector<int>(kThreads, 1));
  EXPECT_EQ(missedSentinel, 0);

  int found = 0;
  for (int w = 0; w < kProcesses + kThreads; ++w) {
    for (int v = 0; v < kValues; ++v) {
      std::string name = "W" + std::to_string(w) + "_" + std::to_string(v);
      int32_t n = 0;
      if (ReadKeyNumber(kKey, name.c_str(), n) == 1 && n == w * 1000 + v) ++found;
    }
  }
  EXPECT_EQ(found, (kProcesses + kThreads) * kValues);
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(sandbox.folder()))
    files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"hkey_local_machine+software+tervano.reg",
                                             "registry.lock"}));
}

#endif  // !_WIN32

}  // namespace
