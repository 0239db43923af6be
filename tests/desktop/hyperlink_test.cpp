// The link control's opening of an address, in this process under Wine.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "ui/hyperlink.h"

namespace {

// The classes root of this process, pointed at a key of the test's own.
class PrivateClassesRoot {
 public:
  PrivateClassesRoot() {
    SHDeleteKeyA(HKEY_CURRENT_USER, kPath);
    RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    overridden_ = key_ && RegOverridePredefKey(HKEY_CLASSES_ROOT, key_) == ERROR_SUCCESS;
  }
  ~PrivateClassesRoot() {
    if (overridden_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    if (key_) RegCloseKey(key_);
    SHDeleteKeyA(HKEY_CURRENT_USER, kPath);
  }
  bool ok() const { return overridden_; }

 private:
  static constexpr const char* kPath = "Software\\TervanoTests\\Classes";
  HKEY key_ = nullptr;
  bool overridden_ = false;
};

TEST(HyperLink, AddressNothingCanOpenIsDroppedQuietly) {
  PrivateClassesRoot classes;
  ASSERT_TRUE(classes.ok());
  // Neither the shell nor a ".htm" command knows this address; long, so a
  // command line of fixed size would overflow.
  std::string url = "tervano-nothing-opens:" + std::string(3000, 'x');
  EXPECT_LE(CHyperLink::OpenLink(url, SW_HIDE), 32);
  EXPECT_LE(CHyperLink::OpenLink("tervano-nothing-opens:short", SW_HIDE), 32);
  // ".htm" names a class without an open command: still nothing, no crash
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".htm", REG_SZ, "TervanoNoPage", 13), ERROR_SUCCESS);
  EXPECT_LE(CHyperLink::OpenLink(url, SW_HIDE), 32);
}

}  // namespace
