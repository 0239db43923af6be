// The registry calls the settings rely on. On Windows (Wine) these run
// against the real registry and so check that the file-backed stand-in used
// elsewhere answers the same way.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/registry.h"
#include "support/settings_sandbox.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>
#endif

namespace {

const char* kTestKey = "Software\\Tervano\\RegistryTest";

// Creates the test key for the test's lifetime and deletes it after.
class TestKey {
 public:
  TestKey() {
    result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, &disposition);
  }
  ~TestKey() {
    if (key) RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tervano\\RegistryTest\\Child");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
  }
  HKEY key = nullptr;
  LONG result;
  DWORD disposition = 0;
};

LONG SetText(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1));
}

LONG SetBytes(HKEY key, const char* name, DWORD type, const std::string& bytes) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size()));
}

// Reads a value whole; empty with result when it cannot.
std::string Query(HKEY key, const char* name, DWORD* type = nullptr, LONG* result = nullptr) {
  BYTE data[1024];
  DWORD size = sizeof data;
  DWORD t = 0;
  LONG r = RegQueryValueExA(key, name, nullptr, &t, data, &size);
  if (result) *result = r;
  if (type) *type = t;
  return r == ERROR_SUCCESS ? std::string(reinterpret_cast<char*>(data), size) : std::string();
}

TEST(Registry, CreateOpenAndDeleteKeys) {
  SettingsSandbox sandbox;
  {
    TestKey test;
    ASSERT_EQ(test.result, ERROR_SUCCESS);
    EXPECT_EQ(test.disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));

    HKEY again = nullptr;
    DWORD how = 0;
    // key names do not depend on case
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\tervano\\registrytest", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &again, &how),
              ERROR_SUCCESS);
    EXPECT_EQ(how, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    ASSERT_EQ(SetText(again, "Shared", "one"), ERROR_SUCCESS);
    EXPECT_EQ(Query(test.key, "Shared"), std::string("one", 4));
    RegCloseKey(again);

    // a key with a subkey cannot be deleted; without it, it can
    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyExA(test.key, "Child", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(child);
    EXPECT_NE(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey), ERROR_SUCCESS);
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano\\RegistryTest\\Child", 0,
                            KEY_ALL_ACCESS, &opened),
              ERROR_SUCCESS);
    RegCloseKey(opened);
    EXPECT_EQ(RegDeleteKeyA(test.key, "Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(test.key, "Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(test.key, "Child", 0, KEY_ALL_ACCESS, &opened), ERROR_FILE_NOT_FOUND);
  }
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_ALL_ACCESS, &gone),
            ERROR_FILE_NOT_FOUND);
}

TEST(Registry, QueryReportsTypeAndSizeAndMoreData) {
  SettingsSandbox sandbox;
  TestKey test;
  ASSERT_EQ(test.result, ERROR_SUCCESS);
  ASSERT_EQ(SetText(test.key, "Text", "abc"), ERROR_SUCCESS);

  DWORD type = 99, size = 0;
  // no buffer: only the size
  ASSERT_EQ(RegQueryValueExA(test.key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 4u);  // the terminating zero counts

  // too small: ERROR_MORE_DATA with the needed size and the type
  char small[3] = {'x', 'x', 'x'};
  size = sizeof small;
  type = 99;
  EXPECT_EQ(RegQueryValueExA(test.key, "Text", nullptr, &type, reinterpret_cast<BYTE*>(small),
                             &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  // exact fit, and a larger buffer reports the data size
  char exact[4];
  size = sizeof exact;
  ASSERT_EQ(RegQueryValueExA(test.key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(exact),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(exact, 4), std::string("abc", 4));
  char large[64];
  size = sizeof large;
  ASSERT_EQ(RegQueryValueExA(test.key, "tEXT", nullptr, nullptr, reinterpret_cast<BYTE*>(large),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);

  DWORD number = 0x01020304;
  ASSERT_EQ(RegSetValueExA(test.key, "Number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number),
                           sizeof number),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(test.key, "Number", &type), std::string("\x04\x03\x02\x01", 4));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

  // binary data with zeros, an empty text, and a text without its zero
  const std::string binary("\x00\x01\xFF\x00\x7F", 5);
  ASSERT_EQ(SetBytes(test.key, "Binary", REG_BINARY, binary), ERROR_SUCCESS);
  EXPECT_EQ(Query(test.key, "Binary", &type), binary);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  ASSERT_EQ(SetText(test.key, "Empty", ""), ERROR_SUCCESS);
  EXPECT_EQ(Query(test.key, "Empty", &type), std::string(1, '\0'));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  // an unknown value
  LONG result = ERROR_SUCCESS;
  Query(test.key, "Missing", nullptr, &result);
  EXPECT_EQ(result, ERROR_FILE_NOT_FOUND);
  size = 0;
  EXPECT_EQ(RegQueryValueExA(test.key, "Missing", nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
}

TEST(Registry, TextBytesAreKeptAndValuesReplacedAndDeleted) {
  SettingsSandbox sandbox;
  TestKey test;
  ASSERT_EQ(test.result, ERROR_SUCCESS);
  // "该文件" in this build's narrow encoding (GB2312 on Windows, UTF-8 elsewhere)
  const char chinese[] = "该文件 \\ \"q\"";
  ASSERT_EQ(SetText(test.key, "Chinese", chinese), ERROR_SUCCESS);
  EXPECT_EQ(Query(test.key, "Chinese"), std::string(chinese, sizeof chinese));

  ASSERT_EQ(SetText(test.key, "Value", "first, longer"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(test.key, "VALUE", "second"), ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(Query(test.key, "value", &type), std::string("second", 7));

  EXPECT_EQ(RegDeleteValueA(test.key, "Value"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(test.key, "Value"), ERROR_FILE_NOT_FOUND);
  LONG result = ERROR_SUCCESS;
  Query(test.key, "Value", nullptr, &result);
  EXPECT_EQ(result, ERROR_FILE_NOT_FOUND);
  // other values are untouched
  EXPECT_EQ(Query(test.key, "Chinese"), std::string(chinese, sizeof chinese));
}

#ifndef _WIN32

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

const char* kSettingsFile = "hkey_local_machine+software+tervano.reg";

HKEY CreateSettingsKey(LONG* result = nullptr) {
  HKEY key = nullptr;
  LONG r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano", 0, nullptr,
                           REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result) *result = r;
  return r == ERROR_SUCCESS ? key : nullptr;
}

TEST(RegistryFiles, FolderFollowsTheEnvironment) {
  SavedVariable own("TERVANO_CONFIG_DIR"), xdg("XDG_CONFIG_HOME"), home("HOME");
  own.Set("/srv/conf/");
  xdg.Set("/x/config");
  home.Set("/home/someone");
  EXPECT_EQ(RegistryStoreFolder(), "/srv/conf");
  own.Set(nullptr);
  EXPECT_EQ(RegistryStoreFolder(), "/x/config/tervano");
  xdg.Set("relative/config");  // not absolute: ignored
  EXPECT_EQ(RegistryStoreFolder(), "/home/someone/.config/tervano");
  xdg.Set("");
  EXPECT_EQ(RegistryStoreFolder(), "/home/someone/.config/tervano");
}

TEST(RegistryFiles, KeyFileNamesAreSafe) {
  EXPECT_EQ(RegistryKeyFileName("HKEY_LOCAL_MACHINE", "Software\\Tervano"), kSettingsFile);
  EXPECT_EQ(RegistryKeyFileName("HKEY_LOCAL_MACHINE", "SOFTWARE\\TERVANO\\Open"),
            "hkey_local_machine+software+tervano+open.reg");
  // separators, dots and bytes outside plain ASCII never make a path
  EXPECT_EQ(RegistryKeyFileName("HKEY_LOCAL_MACHINE", "..\\a/b+c%d \xE8\xAF\xA5"),
            "hkey_local_machine+..+a%2Fb%2Bc%25d%20%E8%AF%A5.reg");
  EXPECT_EQ(RegistryKeyFileName("HKEY_LOCAL_MACHINE", "a\\\\b"), "");
  EXPECT_EQ(RegistryKeyFileName("HKEY_LOCAL_MACHINE", "\\a"), "");
  EXPECT_EQ(RegistryKeyFileName("HKEY_LOCAL_MACHINE", std::string(300, 'k').c_str()), "");

  SettingsSandbox sandbox;
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\\\Tervano", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_BADKEY);
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\..\\a/b", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  struct stat st;
  EXPECT_EQ(stat((sandbox.folder() + "/hkey_local_machine+software+..+a%2Fb.reg").c_str(), &st), 0);
}

TEST(RegistryFiles, FileIsReadableRegText) {
  SettingsSandbox sandbox;
  HKEY key = CreateSettingsKey();
  ASSERT_NE(key, nullptr);
  DWORD one = 1, big = 0xABCDEF01;
  RegSetValueExA(key, "OptionHTML", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
  SetText(key, "OptionURLName", "C:\\web \"x\"");
  SetBytes(key, "Odd", REG_BINARY, std::string("\x00\xff", 2));
  RegSetValueExA(key, "Big", 0, REG_DWORD, reinterpret_cast<BYTE*>(&big), 4);
  SetBytes(key, "NoZero", REG_SZ, "ab");
  SetBytes(key, "Lines", REG_SZ, std::string("a\nb\0", 4));
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("dflt"), 5);
  RegCloseKey(key);
  EXPECT_EQ(ReadFile(sandbox.folder() + "/" + kSettingsFile),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Tervano]\n"
            "\"OptionHTML\"=dword:00000001\n"
            "\"OptionURLName\"=\"C:\\\\web \\\"x\\\"\"\n"
            "\"Odd\"=hex:00,ff\n"
            "\"Big\"=dword:abcdef01\n"
            "\"NoZero\"=hex(1):61,62\n"
            "\"Lines\"=hex(1):61,0a,62,00\n"
            "@=\"dflt\"\n");
  // and everything reads back as written
  key = CreateSettingsKey();
  DWORD type = 0;
  EXPECT_EQ(Query(key, "OptionURLName"), std::string("C:\\web \"x\"", 11));
  EXPECT_EQ(Query(key, "NoZero", &type), "ab");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(Query(key, "Lines"), std::string("a\nb\0", 4));
  EXPECT_EQ(Query(key, ""), std::string("dflt", 5));
  RegCloseKey(key);
}

TEST(RegistryFiles, HandEditedAndDamagedFilesGiveWhatTheyCan) {
  SettingsSandbox sandbox;
  HKEY key = CreateSettingsKey();
  ASSERT_NE(key, nullptr);
  WriteFile(sandbox.folder() + "/" + kSettingsFile,
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "; edited by hand\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Tervano]\r\n"
            "\"Good\"=dword:0000002A\r\n"
            "  \"Spaced\" = dword:7\r\n"
            "\"TooLong\"=dword:000000001\r\n"
            "\"NotHex\"=dword:12g4\r\n"
            "\"Open\"=\"no end\r\n"
            "\"BadEscape\"=\"a\\nb\"\r\n"
            "\"Trailing\"=\"x\" junk\r\n"
            "\"Wrapped\"=hex:01,02,\\\r\n"
            "  03,04\r\n"
            "\"HalfByte\"=hex:01,2\r\n"
            "\"Typed\"=hex(4):05,00,00,00\r\n"
            "\"Twice\"=\"old\"\r\n"
            "\"Twice\"=\"new\"\r\n"
            "\"Gone\"=\"x\"\r\n"
            "\"Gone\"=-\r\n"
            "garbage \x01\x02\xff line\r\n"
            "\"Text\"=\"\xe8\xaf\xa5 ok\"\r\n"
            "\"Cut\"=\"unfinis");  // the file ends in the middle of a line
  DWORD type = 0;
  EXPECT_EQ(Query(key, "Good"), std::string("\x2A\0\0\0", 4));
  EXPECT_EQ(Query(key, "Spaced"), std::string("\x07\0\0\0", 4));
  EXPECT_EQ(Query(key, "Wrapped", &type), "\x01\x02\x03\x04");
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(Query(key, "Typed", &type), std::string("\x05\0\0\0", 4));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(Query(key, "Twice"), std::string("new", 4));
  EXPECT_EQ(Query(key, "Text"), std::string("\xe8\xaf\xa5 ok", 7));
  for (const char* bad :
       {"TooLong", "NotHex", "Open", "BadEscape", "Trailing", "HalfByte", "Gone", "Cut"}) {
    LONG result = ERROR_SUCCESS;
    Query(key, bad, nullptr, &result);
    EXPECT_EQ(result, ERROR_FILE_NOT_FOUND) << bad;
  }

  // pure garbage: nothing reads, and writing starts a clean file
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919 + 13) & 0xFF);
  WriteFile(sandbox.folder() + "/" + kSettingsFile, noise);
  LONG result = ERROR_SUCCESS;
  Query(key, "Good", nullptr, &result);
  EXPECT_EQ(result, ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(SetText(key, "After", "fine"), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "After"), std::string("fine", 5));
  RegCloseKey(key);
}

TEST(RegistryFiles, UnusableStoreFolderIsAnErrorNotACrash) {
  SettingsSandbox sandbox;
  std::string file = sandbox.folder() + "/plain-file";
  WriteFile(file, "not a folder");
  {
    SavedVariable dir("TERVANO_CONFIG_DIR");
    dir.Set(file.c_str());
    LONG result = ERROR_SUCCESS;
    EXPECT_EQ(CreateSettingsKey(&result), nullptr);
    EXPECT_EQ(result, ERROR_ACCESS_DENIED);
    dir.Set((file + "/below").c_str());
    EXPECT_EQ(CreateSettingsKey(&result), nullptr);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
  }
  if (geteuid() != 0) {  // permissions do not stop root
    HKEY key = CreateSettingsKey();
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetText(key, "Kept", "yes"), ERROR_SUCCESS);
    chmod(sandbox.folder().c_str(), 0500);
    EXPECT_NE(SetText(key, "Kept", "no"), ERROR_SUCCESS);
    HKEY full = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano", 0, KEY_ALL_ACCESS, &full),
              ERROR_ACCESS_DENIED);
    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tervano", 0, KEY_READ, &readOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(readOnly, "Kept"), std::string("yes", 4));
    EXPECT_EQ(SetText(readOnly, "Kept", "no"), ERROR_ACCESS_DENIED);
    RegCloseKey(readOnly);
    chmod(sandbox.folder().c_str(), 0700);
    RegCloseKey(key);
  }
}

// Writers in several processes and threads at once lose nothing, and a
// reader never sees a half-written file.
TEST(RegistryFiles, ConcurrentWritersLoseNothing) {
  SettingsSandbox sandbox;
  HKEY key = CreateSettingsKey();
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(SetText(key, "Sentinel", "here"), ERROR_SUCCESS);
  constexpr int kProcesses = 3, kThreads = 2, kValues = 40;

  auto writeMany = [](int writer) {
    HKEY own = CreateSettingsKey();
    bool ok = own != nullptr;
    for (int v = 0; own && v < kValues; ++v) {
      char name[32];
      std::snprintf(name, sizeof name, "W%d_%d", writer, v);
      DWORD data = static_cast<DWORD>(writer * 1000 + v);
      ok = RegSetValueExA(own, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&data), 4) ==
               ERROR_SUCCESS && ok;
    }
    if (own) RegCloseKey(own);
    return ok;
  };

  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(writeMany(p) ? 0 : 1);
    children.push_back(pid);
  }
  std::atomic<bool> threadsOk{true};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      if (!writeMany(kProcesses + t)) threadsOk = false;
    });

  // read while they write
  int missedSentinel = 0;
  for (int i = 0; i < 200; ++i)
    if (Query(key, "Sentinel") != std::string("here", 5)) ++missedSentinel;

  for (std::thread& t : threads) t.join();
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_TRUE(threadsOk);
  EXPECT_EQ(missedSentinel, 0);

  int found = 0;
  for (int w = 0; w < kProcesses + kThreads; ++w) {
    for (int v = 0; v < kValues; ++v) {
      char name[32];
      std::snprintf(name, sizeof name, "W%d_%d", w, v);
      DWORD data = 0, size = 4;
      if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) ==
              ERROR_SUCCESS &&
          data == static_cast<DWORD>(w * 1000 + v))
        ++found;
    }
  }
  EXPECT_EQ(found, (kProcesses + kThreads) * kValues);
  RegCloseKey(key);
}

#endif  // !_WIN32

}  // namespace
