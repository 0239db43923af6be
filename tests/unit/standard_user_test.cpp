// The program's registry use as a standard user on Windows 10/11 sees it:
// HKEY_LOCAL_MACHINE can be read but not written, and a 64-bit program gets
// no redirection. Wine lets everyone write, so the refusal is made here.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/hand_off.h"
#include "app/settings_store.h"
#include "ui/start_up.h"
#include "platform/registry_keys.h"
#include "platform/virtual_store.h"
#include "support/registry_denial.h"
#include "support/settings_sandbox.h"

namespace {

TEST(StandardUser, OptionsHandOffAndMarkerWithReadOnlyMachineKey) {
  SettingsSandbox sandbox;
  sandbox.Clear();
  // The installer's machine-wide values, written while it could.
  const char exec[] = "\"C:\\Program Files\\Tervano\\tervano.exe\"";
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, kExecStringValue, exec).done());
  ASSERT_TRUE(WriteKeyNumber(kSettingsKeyPath, "OptionProtect", 1).done());
  {
    MachineKeyWriteDenial denial(GetModuleHandleA(nullptr));
    ASSERT_GT(denial.patched(), 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_ACCESS_DENIED);

    // Machine values are still read; the user's own options persist.
    std::string text;
    EXPECT_TRUE(ReadSettingText(kExecStringValue, text));
    EXPECT_EQ(text, exec);
    MainWindowOptions saved;
    saved.changeLoop = 1;
    saved.loopForever = 0;
    saved.playCount = 7;
    saved.useLinkUrl = 1;
    saved.linkUrl = "http://example.org/";
    PublishSettings publish;
    publish.writeHtml = 0;
    ASSERT_TRUE(SaveOptions(saved, publish).done());
    MainWindowOptions loaded;
    PublishSettings loadedPublish;
    LoadOptions(loaded, loadedPublish);
    EXPECT_EQ(loaded.playCount, 7);
    EXPECT_EQ(loaded.changeLoop, 1);
    EXPECT_EQ(loaded.linkUrl, "http://example.org/");
    EXPECT_EQ(loadedPublish.writeHtml, 0);  // not the missing-value 1
    EXPECT_EQ(loadedPublish.protect, 0);    // the user's value hides the machine's

    // Files handed from Explorer reach the window, in order, once.
    EXPECT_TRUE(StoreHandedText("C:\\a.gif").done());
    EXPECT_TRUE(StoreHandedText("C:\\My Pics\\b.gif").done());
    EXPECT_EQ(TakeHandedTexts(), (std::vector<std::string>{"C:\\a.gif", "C:\\My Pics\\b.gif"}));
    EXPECT_TRUE(TakeHandedTexts().empty());

    // The start-up marker comes and goes.
    EXPECT_TRUE(CreateKey(kStartingMarkerKey).done());
    EXPECT_TRUE(KeyExists(kStartingMarkerKey));
    EXPECT_TRUE(DeleteKey(kStartingMarkerKey).done());
    EXPECT_FALSE(KeyExists(kStartingMarkerKey));
    EXPECT_GT(MachineKeyWriteDenial::refusals(), 0);
  }
  // With write access again, a machine write is not hidden by the older
  // per-user value.
  ASSERT_TRUE(WriteSettingNumber("OptionLoopValue", 9).done());
  int32_t number = 0;
  EXPECT_TRUE(ReadSettingNumber("OptionLoopValue", number));
  EXPECT_EQ(number, 9);
}

void PutText(const char* path, const char* name, const std::string& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

void PutNumber(const char* path, const char* name, DWORD number) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegCloseKey(key);
}

// A standard user's copy of an older version (no manifest, so Windows
// virtualized its writes) left options and files on their way to the
// window; this version reads them from the per-user key.
TEST(StandardUser, VirtualizedValuesJoinThePerUserKeyOnce) {
  SettingsSandbox sandbox;
  sandbox.Clear();
  const char wow[] = "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\Tervano";
  const char plain[] = "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Tervano";
  PutNumber(wow, "OptionProtect", 1);
  PutText(wow, "OptionURLName", "http://virtual.example/");
  PutNumber(wow, kNumFilesValue, 2);
  PutText(wow, "1", "C:\\v1.gif");
  PutText(wow, "2", "C:\\v2.gif");
  PutText(wow, "7", "C:\\stale.gif");  // past the count: taken long ago
  // The user's own values, written since by a newer copy.
  PutText(kSettingsKeyPath, "OptionURLName", "http://mine.example/");
  PutNumber(kSettingsKeyPath, kNumFilesValue, 1);
  PutText(kSettingsKeyPath, "1", "C:\\u1.gif");

  EXPECT_EQ(MoveVirtualizedValues(kSettingsKeyPath, kNumFilesValue), VirtualStoreMove::kMoved);
  int32_t number = 0;
  EXPECT_TRUE(ReadKeyNumber(kSettingsKeyPath, "OptionProtect", number));
  EXPECT_EQ(number, 1);
  std::string text;
  EXPECT_TRUE(ReadKeyText(kSettingsKeyPath, "OptionURLName", text));
  EXPECT_EQ(text, "http://mine.example/");
  EXPECT_EQ(TakeHandedTexts(), (std::vector<std::string>{"C:\\u1.gif", "C:\\v1.gif", "C:\\v2.gif"}));
  EXPECT_EQ(MoveVirtualizedValues(kSettingsKeyPath, kNumFilesValue), VirtualStoreMove::kNothingThere);

  // No per-user key yet, the store of 32-bit Windows.
  sandbox.Clear();
  PutNumber(plain, "OptionBorder", 1);
  PutNumber(plain, kNumFilesValue, 1);
  PutText(plain, "1", "C:\\p1.gif");
  EXPECT_EQ(MoveVirtualizedValues(kSettingsKeyPath, kNumFilesValue), VirtualStoreMove::kMoved);
  EXPECT_TRUE(ReadKeyNumber(kSettingsKeyPath, "OptionBorder", number));
  EXPECT_EQ(number, 1);
  EXPECT_EQ(TakeHandedTexts(), std::vector<std::string>{"C:\\p1.gif"});
  RegDeleteKeyA(HKEY_CURRENT_USER, wow);
  RegDeleteKeyA(HKEY_CURRENT_USER, plain);
}

}  // namespace
#endif
