// Settings kept in HKLM\Software\Tervano: the four accessors, the layout of
// the values, and what the main window and the quiet command load.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/settings_store.h"
#include "platform/registry_key_data.h"
#include "platform/registry_keys.h"
#include "support/settings_sandbox.h"

#ifndef _WIN32
#include <fstream>
#endif

namespace {

// No test of this program may see or change a real user's settings.
class SettingsSandboxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { sandbox_ = new SettingsSandbox; }
  void TearDown() override {
    delete sandbox_;
    sandbox_ = nullptr;
  }

 private:
  SettingsSandbox* sandbox_ = nullptr;
};
::testing::Environment* const kSandboxEnvironment =
    ::testing::AddGlobalTestEnvironment(new SettingsSandboxEnvironment);

KeyResult SetRaw(const char* name, uint32_t type, const std::string& bytes) {
  return WriteKeyData("Software\\Tervano", name, type, bytes.data(), bytes.size());
}

// Type and size of a stored value (found 0 when it is missing).
struct Stored {
  int found;
  uint32_t type;
  size_t size;
};
Stored Inspect(const char* name) {
  Stored s{0, 0, 0};
  char data[1024];
  s.found = ReadKeyData("Software\\Tervano", name, s.type, data, sizeof data, s.size);
  return s;
}

TEST(SettingsStore, NumbersAndTextsRoundTrip) {
  SettingsSandbox sandbox;
  PublishSettings publish;  // the main window's
  for (int32_t n : {0, 1, -1, 65535, INT32_MAX, INT32_MIN}) {
    ASSERT_TRUE(WriteSettingNumber("OptionLoopValue", n).done());
    int32_t back = 12345;
    EXPECT_EQ(ReadSettingNumber("OptionLoopValue", back), 1);
    EXPECT_EQ(back, n);
  }
  const char chinese[] = "http://例子.example/该?a=\"b\"\\c";
  ASSERT_TRUE(WriteSettingText("OptionURLName", chinese).done());
  std::string text = "stale";
  EXPECT_EQ(ReadSettingText("OptionURLName", text), 1);
  EXPECT_EQ(text, chinese);

  // the longest text that fits 260 bytes with its zero, and one byte more
  std::string longest(259, 'L');
  ASSERT_TRUE(WriteSettingText("OptionURLName", longest.c_str()).done());
  EXPECT_EQ(ReadSettingText("OptionURLName", text), 1);
  EXPECT_EQ(text, longest);
  ASSERT_TRUE(WriteSettingText("OptionURLName", (longest + "M").c_str()).done());
  text = "stale";
  EXPECT_EQ(ReadSettingText("OptionURLName", text), 0);
  EXPECT_EQ(text, "");
}

TEST(SettingsStore, ValuesAreStoredAsDwordAndZeroTerminatedText) {
  SettingsSandbox sandbox;
  PublishSettings publish;  // the main window's
  ASSERT_TRUE(WriteSettingNumber("OptionHTML", 1).done());
  Stored number = Inspect("OptionHTML");
  EXPECT_EQ(number.found, 1);
  EXPECT_EQ(number.type, kRegNumber);
  EXPECT_EQ(number.size, 4u);

  const char chinese[] = "访问我们的网站";  // size in this build's narrow encoding
  ASSERT_TRUE(WriteSettingText("OptionURLName", chinese).done());
  Stored text = Inspect("OptionURLName");
  EXPECT_EQ(text.found, 1);
  EXPECT_EQ(text.type, kRegText);
  EXPECT_EQ(text.size, sizeof chinese);

  ASSERT_TRUE(WriteSettingText("OptionURLName", "").done());
  text = Inspect("OptionURLName");
  EXPECT_EQ(text.type, kRegText);
  EXPECT_EQ(text.size, 1u);
}

TEST(SettingsStore, MissingAndOversizeValuesReadAsMissing) {
  SettingsSandbox sandbox;
  PublishSettings publish;  // the main window's
  int32_t number = 77;
  std::string text = "stale";
  EXPECT_EQ(ReadSettingNumber("OptionProtect", number), 0);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(ReadSettingText("OptionURLName", text), 0);
  EXPECT_EQ(text, "");

  ASSERT_TRUE(SetRaw("OptionProtect", kRegBinary, std::string("\x01\x00\x00\x00\x00", 5)).done());
  number = 77;
  EXPECT_EQ(ReadSettingNumber("OptionProtect", number), 0);
  EXPECT_EQ(number, 0);

  std::string long_text(299, 'u');
  ASSERT_TRUE(SetRaw("OptionURLName", kRegText, std::string(long_text.c_str(), 300)).done());
  text = "stale";
  EXPECT_EQ(ReadSettingText("OptionURLName", text), 0);
  EXPECT_EQ(text, "");

  // numbers are the bytes read, whatever the type
  ASSERT_TRUE(SetRaw("OptionLoopValue", kRegBinary, std::string("\x34\x12", 2)).done());
  EXPECT_EQ(ReadSettingNumber("OptionLoopValue", number), 1);
  EXPECT_EQ(number, 0x1234);
  ASSERT_TRUE(SetRaw("OptionLoopValue", kRegText, std::string("7\0", 2)).done());
  EXPECT_EQ(ReadSettingNumber("OptionLoopValue", number), 1);
  EXPECT_EQ(number, '7');
}

TEST(SettingsStore, NoTextDeletesTheValue) {
  SettingsSandbox sandbox;
  PublishSettings publish;  // the main window's
  ASSERT_TRUE(WriteSettingText("OptionURLName", "http://a.example/").done());
  EXPECT_TRUE(WriteSettingText("OptionURLName", nullptr).done());
  EXPECT_EQ(Inspect("OptionURLName").found, 0);
  EXPECT_TRUE(WriteSettingText("OptionURLName", nullptr).done());  // nothing left to delete
}

TEST(SettingsStore, FirstLoadGivesTheMainWindowDefaults) {
  SettingsSandbox sandbox;
  sandbox.Clear();
  ASSERT_TRUE(DeleteKey("Software\\Tervano\\open").done());
  ASSERT_TRUE(DeleteKey("Software\\Tervano").done());  // a first start: no key at all
  PublishSettings publish{9, 9, 9, 9, 9, 9, "stale"};  // the main window's
  MainWindowOptions window;  // start values 0, 1, 1 are replaced by loading
  window.linkUrl = "stale";
  LoadOptions(window, publish);
  EXPECT_EQ(publish.borderCorrection, 1);
  EXPECT_EQ(publish.writeHtml, 1);
  EXPECT_EQ(publish.fullMenu, 1);
  EXPECT_EQ(publish.useGifBackground, 0);
  EXPECT_EQ(publish.optimiseCanvas, 0);
  EXPECT_EQ(publish.protect, 0);
  EXPECT_EQ(publish.ruffleUrl, "");
  EXPECT_EQ(window.changeLoop, 0);
  EXPECT_EQ(window.loopForever, 0);
  EXPECT_EQ(window.playCount, 0);
  EXPECT_EQ(window.playCountText, "0");
  EXPECT_EQ(window.useLinkUrl, 0);
  EXPECT_EQ(window.linkUrl, "");
  // Reading asks for read access only, so it creates nothing.
  EXPECT_EQ(KeyExists("Software\\Tervano"), 0);
}

TEST(SettingsStore, QuietOptionsAreAllOffWithoutStoredValues) {
  SettingsSandbox sandbox;
  PublishSettings publish;  // the main window's
  ConversionOptions o = ReadQuietOptions();
  EXPECT_EQ(o.changeLoop, 0);
  EXPECT_EQ(o.loopForever, 0);
  EXPECT_EQ(o.playCount, 0);
  EXPECT_EQ(o.borderCorrection, 0);
  EXPECT_EQ(o.useGifBackground, 0);
  EXPECT_EQ(o.optimiseCanvas, 0);
  EXPECT_FALSE(o.useLinkUrl);
  EXPECT_EQ(o.linkUrl, "");
  EXPECT_EQ(o.protect, 0);
  EXPECT_EQ(o.writeHtml, 0);
  EXPECT_EQ(o.fullMenu, 0);
}

// Every field goes to its own value name: distinct numbers catch any mix-up.
TEST(SettingsStore, SaveWritesEachFieldUnderItsNameAndLoadReadsItBack) {
  SettingsSandbox sandbox;
  PublishSettings publish;  // the main window's
  publish = PublishSettings{};
  publish.borderCorrection = 2;
  publish.writeHtml = 3;
  publish.fullMenu = 4;
  publish.useGifBackground = 5;
  publish.optimiseCanvas = 6;
  publish.protect = 7;
  MainWindowOptions saved;
  saved.changeLoop = 8;
  saved.loopForever = 9;
  saved.playCount = 65535;
  saved.useLinkUrl = 10;
  saved.linkUrl = "http://click.example/";
  ASSERT_TRUE(SaveOptions(saved, publish).done());

  const struct {
    const char* name;
    int32_t value;
  } expected[] = {{"OptionTransparent", 2}, {"OptionHTML", 3},       {"OptionHideMenu", 4},
                  {"OptionBackGround", 5},  {"OptionCanvasSize", 6}, {"OptionProtect", 7},
                  {"OptionChangeLoop", 8},  {"OptionLoopForever", 9}, {"OptionLoopValue", 65535},
                  {"OptionURL", 10}};
  for (const auto& e : expected) {
    int32_t n = -1;
    EXPECT_EQ(ReadSettingNumber(e.name, n), 1) << e.name;
    EXPECT_EQ(n, e.value) << e.name;
  }
  std::string url;
  EXPECT_EQ(ReadSettingText("OptionURLName", url), 1);
  EXPECT_EQ(url, "http://click.example/");

  publish = PublishSettings{};
  MainWindowOptions loaded;
  LoadOptions(loaded, publish);
  EXPECT_EQ(publish.borderCorrection, 2);
  EXPECT_EQ(publish.writeHtml, 3);
  EXPECT_EQ(publish.fullMenu, 4);
  EXPECT_EQ(publish.useGifBackground, 5);
  EXPECT_EQ(publish.optimiseCanvas, 6);
  EXPECT_EQ(publish.protect, 7);
  EXPECT_EQ(loaded.changeLoop, 8);
  EXPECT_EQ(loaded.loopForever, 9);
  EXPECT_EQ(loaded.playCount, 65535);
  EXPECT_EQ(loaded.playCountText, "65535");
  EXPECT_EQ(loaded.useLinkUrl, 10);
  EXPECT_EQ(loaded.linkUrl, "http://click.example/");

  ConversionOptions q = ReadQuietOptions();
  EXPECT_EQ(q.borderCorrection, 2);
  EXPECT_EQ(q.writeHtml, 3);
  EXPECT_EQ(q.fullMenu, 4);
  EXPECT_EQ(q.useGifBackground, 5);
  EXPECT_EQ(q.optimiseCanvas, 6);
  EXPECT_EQ(q.protect, 7);
  EXPECT_EQ(q.changeLoop, 8);
  EXPECT_EQ(q.loopForever, 9);
  EXPECT_EQ(q.playCount, 65535);
  EXPECT_TRUE(q.useLinkUrl);
  EXPECT_EQ(q.linkUrl, "http://click.example/");
  }

TEST(SettingsStore, EmptyLinkIsKeptAsEmptyTextAndStillALink) {
  SettingsSandbox sandbox;
  PublishSettings publish;  // the main window's
  MainWindowOptions window;
  window.useLinkUrl = 1;
  window.linkUrl = "";
  ASSERT_TRUE(SaveOptions(window, publish).done());
  Stored stored = Inspect("OptionURLName");
  EXPECT_EQ(stored.found, 1);
  EXPECT_EQ(stored.type, kRegText);
  EXPECT_EQ(stored.size, 1u);
  std::string text = "stale";
  EXPECT_EQ(ReadSettingText("OptionURLName", text), 1);
  EXPECT_EQ(text, "");

  ConversionOptions q = ReadQuietOptions();
  EXPECT_TRUE(q.useLinkUrl);
  EXPECT_EQ(q.linkUrl, "");

  // a name without OptionURL gives no link
  ASSERT_TRUE(WriteSettingNumber("OptionURL", 0).done());
  ASSERT_TRUE(WriteSettingText("OptionURLName", "http://unused.example/").done());
  q = ReadQuietOptions();
  EXPECT_FALSE(q.useLinkUrl);
  EXPECT_EQ(q.linkUrl, "");
}

// The Ruffle address is set from the command line; the main window, which
// has no field for it, must neither lose it when it saves at exit nor add
// the value to a store that never had one.
TEST(SettingsStore, MainWindowKeepsTheRuffleAddressItDoesNotShow) {
  SettingsSandbox sandbox;
  PublishSettings publish;
  MainWindowOptions window;
  LoadOptions(window, publish);
  ASSERT_TRUE(SaveOptions(window, publish).done());
  EXPECT_EQ(Inspect("OptionRuffleURL").found, 0);

  ASSERT_TRUE(WriteSettingText("OptionRuffleURL", "https://cdn.example/ruffle/ruffle.js").done());
  publish = PublishSettings{};
  LoadOptions(window, publish);
  ASSERT_TRUE(SaveOptions(window, publish).done());
  std::string address;
  EXPECT_EQ(ReadSettingText("OptionRuffleURL", address), 1);
  EXPECT_EQ(address, "https://cdn.example/ruffle/ruffle.js");
  EXPECT_EQ(ReadQuietOptions().ruffleUrl, "https://cdn.example/ruffle/ruffle.js");
}

#ifndef _WIN32

TEST(SettingsStore, UnusableStoreGivesDefaultsAndSaysWhyItCannotSave) {
  SettingsSandbox sandbox;
  PublishSettings publish;  // the main window's
  std::string notAFolder = sandbox.folder() + "/file";
  std::ofstream(notAFolder) << "x";
  SavedVariable dir("TERVANO_CONFIG_DIR");
  dir.Set(notAFolder.c_str());
  EXPECT_FALSE(WriteSettingNumber("OptionHTML", 0).done());
  EXPECT_FALSE(WriteSettingText("OptionURLName", "x").done());
  EXPECT_FALSE(WriteSettingText("OptionURLName", nullptr).done());
  int32_t n = 5;
  EXPECT_EQ(ReadSettingNumber("OptionHTML", n), 0);
  EXPECT_EQ(n, 0);
  MainWindowOptions window;
  LoadOptions(window, publish);
  EXPECT_EQ(publish.writeHtml, 1);
  EXPECT_EQ(publish.protect, 0);
  EXPECT_EQ(window.playCountText, "0");
  OptionsSaved saved = SaveOptions(window, publish);
  EXPECT_EQ(saved.valueName, "OptionTransparent");  // the first one tried
  EXPECT_EQ(saved.result.status, KeyStatus::kFailed);
  EXPECT_EQ(saved.result.reason, std::strerror(ENOTDIR));
  }

TEST(SettingsStore, DamagedStoreFileKeepsItsReadableValues) {
  SettingsSandbox sandbox;
  PublishSettings publish;  // the main window's
  ASSERT_TRUE(WriteSettingNumber("OptionProtect", 1).done());  // creates the folder and key
  const char damaged[] =
      "\x89PNG\r\n\x1a\n\x00\x01 garbage [\n"
      "\"OptionHTML\"=dword:00000000\n"
      "\"OptionHideMenu\"=dword:zz\n"
      "\"OptionURLName\"=\"http://half";
  std::ofstream(sandbox.folder() + "/hkey_local_machine+software+tervano.reg",
                std::ios::binary | std::ios::trunc)
      .write(damaged, sizeof damaged - 1);
  MainWindowOptions window;
  LoadOptions(window, publish);
  EXPECT_EQ(publish.writeHtml, 0);  // readable
  EXPECT_EQ(publish.fullMenu, 1);   // unreadable: default
  EXPECT_EQ(publish.protect, 0);    // gone with the damage
  EXPECT_EQ(window.linkUrl, "");
  }

#endif  // !_WIN32

}  // namespace
