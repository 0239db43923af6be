// The context-menu extension loaded as Explorer loads it: the DLL through
// LoadLibrary and its exports, the handler driven through its COM
// interfaces with a data object carrying CF_HDROP, a real menu, and the
// converter replaced by a recorder program named by "ExecString".
#include <gtest/gtest.h>
#include <objbase.h>
#include <olectl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/settings_store.h"
#include "platform/registry_keys.h"
#include "support/registry_denial.h"
#include "support/settings_sandbox.h"
#include "support/temp_folder.h"

namespace {

const CLSID kClsid = {0x3eebe959, 0x786d, 0x4c99, {0xa4, 0x3d, 0xe5, 0xfa, 0xf0, 0x59, 0x1b, 0xa8}};
const char kClsidText[] = "{3EEBE959-786D-4C99-A43D-E5FAF0591BA8}";

std::string WindowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// The library and its four exports.
struct Library {
  template <typename F>
  void Find(F& f, const char* name) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
  Library() : module(LoadLibraryA(TERVANO_CTX_DLL)) {
    if (!module) return;
    Find(getClassObject, "DllGetClassObject");
    Find(canUnloadNow, "DllCanUnloadNow");
    Find(registerServer, "DllRegisterServer");
    Find(unregisterServer, "DllUnregisterServer");
  }
  ~Library() {
    if (module) FreeLibrary(module);
  }
  bool loaded() const {
    return getClassObject && canUnloadNow && registerServer && unregisterServer;
  }
  // A new handler's IContextMenu, or null.
  IContextMenu* NewMenu() {
    IClassFactory* factory = nullptr;
    IContextMenu* menu = nullptr;
    if (getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK)
      return nullptr;
    factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu));
    factory->Release();
    return menu;
  }

  HMODULE module;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
  HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
  HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
};

// A selection as Explorer hands it over: CF_HDROP in global memory (a
// fresh copy for every request), or no such format at all; or a broken one
// whose names fill the block with no terminator.
class Selection final : public IDataObject {
 public:
  Selection(std::vector<std::string> paths, bool hasDrop, bool terminated = true)
      : paths_(std::move(paths)), hasDrop_(hasDrop), terminated_(terminated) {}
  // Wide names (fWide), as Explorer gives them.
  explicit Selection(std::vector<std::wstring> paths) : widePaths_(std::move(paths)), hasDrop_(true) {}
  ULONG references() const { return references_; }
  int requests() const { return requests_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override { return --references_; }  // lives on the stack

  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    ++requests_;
    if (!hasDrop_ || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
      return DV_E_FORMATETC;
    std::string list;  // each name with its zero, then one more
    for (const std::string& p : paths_) list += p + '\0';
    list += '\0';
    if (!terminated_) list.resize(list.size() - 2);
    std::wstring wide;
    for (const std::wstring& p : widePaths_) wide += p + L'\0';
    if (!widePaths_.empty()) {
      wide += L'\0';
      list.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    }
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    char* bytes = static_cast<char*>(GlobalLock(memory));
    reinterpret_cast<DROPFILES*>(bytes)->pFiles = sizeof(DROPFILES);
    reinterpret_cast<DROPFILES*>(bytes)->fWide = !widePaths_.empty();
    std::memcpy(bytes + sizeof(DROPFILES), list.data(), list.size());
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC formats[2] = {{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                            {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}};
    return SHCreateStdEnumFmtEtc(hasDrop_ ? 2 : 1, formats, out);
  }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  std::vector<std::string> paths_;
  std::vector<std::wstring> widePaths_;
  bool hasDrop_;
  bool terminated_ = true;
  ULONG references_ = 1;
  int requests_ = 0;
};

void Initialize(IContextMenu* menu, IDataObject* data) {
  IShellExtInit* init = nullptr;
  ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
  EXPECT_EQ(init->Initialize(nullptr, data, nullptr), S_OK);
  init->Release();
}

struct Item {
  UINT id;
  std::string text;
  HBITMAP checked, unchecked;
};

// The items the handler adds after the one item of Explorer's in a menu.
HRESULT Query(IContextMenu* handler, UINT flags, std::vector<Item>& added) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 1, "Open");
  HRESULT result = handler->QueryContextMenu(menu, 1, 100, 200, flags);
  added.clear();
  for (int i = 1; i < GetMenuItemCount(menu); ++i) {
    char text[600] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_CHECKMARKS;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, i, TRUE, &info);
    added.push_back({info.wID, text, info.hbmpChecked, info.hbmpUnchecked});
  }
  DestroyMenu(menu);
  return result;
}

const char kAddText[] = "添加至 Tervano 列表(&A)";

TEST(ContextMenu, ItemsForOneSeveralAndNoFiles) {
  Library library;
  ASSERT_TRUE(library.loaded());
  IContextMenu* handler = library.NewMenu();
  ASSERT_NE(handler, nullptr);
  std::vector<Item> items;

  Selection one({"C:\\Pics\\cat.anim.gif"}, true);
  Initialize(handler, &one);
  EXPECT_EQ(Query(handler, CMF_NORMAL, items), 0x00000002);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].id, 100u);
  EXPECT_EQ(items[0].text, "转换至 cat.anim.swf(&C)");
  EXPECT_EQ(items[1].id, 101u);
  EXPECT_EQ(items[1].text, kAddText);
  // The glyph: 12 by 12, white top row, navy frame, yellow play mark.
  for (const Item& item : items) {
    ASSERT_NE(item.checked, nullptr);
    EXPECT_EQ(item.checked, item.unchecked);
  }
  BITMAP glyph = {};
  ASSERT_NE(GetObjectA(items[0].checked, sizeof glyph, &glyph), 0);
  EXPECT_EQ(glyph.bmWidth, 12);
  EXPECT_EQ(glyph.bmHeight, 12);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, items[0].checked);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 128));
  EXPECT_EQ(GetPixel(dc, 4, 4), RGB(255, 255, 0));
  EXPECT_EQ(GetPixel(dc, 11, 11), RGB(255, 255, 255));
  SelectObject(dc, old);
  DeleteDC(dc);

  EXPECT_EQ(Query(handler, CMF_DEFAULTONLY, items), 0x00000000);
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(Query(handler, CMF_NORMAL, items), 0x00000002);
  EXPECT_EQ(one.requests(), 1) << "the names are read once per selection";

  Selection three({"C:\\a.gif", "C:\\b.gif", "C:\\c.gif"}, true);
  Initialize(handler, &three);
  EXPECT_EQ(one.references(), 1u);  // the earlier selection was let go
  EXPECT_EQ(Query(handler, CMF_NORMAL, items), 0x00000002);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].id, 101u);
  EXPECT_EQ(items[0].text, kAddText);
  EXPECT_EQ(three.requests(), 1);
  // A new selection without names leaves nothing of the earlier one.
  Selection empty({}, true);
  Initialize(handler, &empty);
  EXPECT_EQ(Query(handler, CMF_NORMAL, items), 0x00000000);
  EXPECT_TRUE(items.empty());
  handler->Release();
  EXPECT_EQ(three.references(), 1u);
  EXPECT_EQ(empty.references(), 1u);

  // No file names at all: nothing to offer, whatever the data object lacks.
  // The names of a list that does not end in its block would be read from
  // whatever memory follows it.
  Selection noDrop({"C:\\a.gif"}, false);
  Selection unterminated({"C:\\a.gif"}, true, false);
  const std::pair<const char*, IDataObject*> cases[] = {
      {"no files", &empty},
      {"no CF_HDROP", &noDrop},
      {"no data object", nullptr},
      {"no terminator", &unterminated}};
  for (const auto& [trace, data] : cases) {
    SCOPED_TRACE(trace);
    handler = library.NewMenu();
    ASSERT_NE(handler, nullptr);
    Initialize(handler, data);
    EXPECT_EQ(Query(handler, CMF_NORMAL, items), 0x00000000);
    EXPECT_TRUE(items.empty());
    handler->Release();
  }
}

TEST(ContextMenu, CommandStringStaysInItsBuffer) {
  Library library;
  ASSERT_TRUE(library.loaded());
  IContextMenu* handler = library.NewMenu();
  ASSERT_NE(handler, nullptr);
  const unsigned char kGuard = 0xCC;
  struct Case {
    UINT id, type, maximum;
    HRESULT result;
  };
  const Case cases[] = {
      {1, GCS_VERBA, 4, S_OK},           {0, GCS_HELPTEXTA, 8, S_OK},
      {1, GCS_VERBW, 2, S_OK},           {0, GCS_HELPTEXTW, 9, S_OK},
      {1, GCS_VERBA, 3, E_INVALIDARG},   {1, GCS_VERBA, 2, E_INVALIDARG},
      {1, GCS_VERBA, 1, E_INVALIDARG},   {1, GCS_VERBA, 0, E_INVALIDARG},
      {1, GCS_HELPTEXTW, 1, E_INVALIDARG}, {2, GCS_VERBA, 8, E_INVALIDARG},
      {0xFFFF, GCS_VERBW, 4, E_INVALIDARG}};

  for (const Case& c : cases) {
    SCOPED_TRACE("id " + std::to_string(c.id) + " type " + std::to_string(c.type) + " maximum " +
                 std::to_string(c.maximum));
    unsigned char buffer[32];
    std::memset(buffer, kGuard, sizeof buffer);
    unsigned char* name = buffer + 4;
    EXPECT_EQ(
        handler->GetCommandString(c.id, c.type, nullptr, reinterpret_cast<char*>(name), c.maximum),
        c.result);
    size_t room = (c.type & GCS_UNICODE) ? 2 * c.maximum : c.maximum;
    for (size_t i = 0; i < sizeof buffer; ++i) {
      if (i < 4 || i >= 4 + room) {
        EXPECT_EQ(buffer[i], kGuard) << "byte " << i;
      }
    }
    if (c.result == S_OK) {
      // UTF-16 "0" or "1" with its terminator: as ANSI the same digit.
      const unsigned char digit[4] = {static_cast<unsigned char>('0' + c.id), 0, 0, 0};
      EXPECT_EQ(std::memcmp(name, digit, 4), 0);
    } else if (room > 0) {
      EXPECT_EQ(name[0], 0);  // an empty text, never a cut one
    }
  }
  // Validation without a buffer writes nothing and answers for the id.
  EXPECT_EQ(handler->GetCommandString(0, GCS_VALIDATEA, nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(handler->GetCommandString(1, GCS_VALIDATEW, nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(handler->GetCommandString(7, GCS_VALIDATEA, nullptr, nullptr, 0), S_FALSE);
  EXPECT_EQ(handler->GetCommandString(1, GCS_VERBA, nullptr, nullptr, 8), E_INVALIDARG);
  handler->Release();
}

// By id (MAKEINTRESOURCEA) or by verb text.
HRESULT Invoke(IContextMenu* handler, const char* verb) {
  CMINVOKECOMMANDINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = CMIC_MASK_FLAG_NO_UI;
  info.lpVerb = verb;
  info.nShow = SW_SHOW;
  return handler->InvokeCommand(&info);
}

// The wide verb counts; the narrow one names no command.
HRESULT InvokeWideVerb(IContextMenu* handler, const wchar_t* verb) {
  CMINVOKECOMMANDINFOEX info = {};
  info.cbSize = sizeof info;
  info.fMask = CMIC_MASK_UNICODE | CMIC_MASK_FLAG_NO_UI;
  info.lpVerb = "9";
  info.lpVerbW = verb;
  return handler->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
}

// A handler for one selection, owning the selection as well.
struct Chosen {
  Chosen(Library& library, std::vector<std::string> paths)
      : selection(std::move(paths), true), handler(library.NewMenu()) {
    if (handler) Initialize(handler, &selection);
  }
  ~Chosen() {
    if (handler) handler->Release();
  }
  Selection selection;
  IContextMenu* handler;
};

// The command lines recorded once `count` have come, and after a pause for
// any that should not come; sorted, as the copies run side by side. The
// record is emptied.
std::vector<std::string> Recorded(const std::string& file, size_t count) {
  std::vector<std::string> lines;
  auto read = [&] {
    lines.clear();
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  };
  for (int wait = 0; wait < 400; ++wait) {
    read();
    if (lines.size() >= count) break;
    Sleep(50);
  }
  Sleep(700);
  read();
  std::remove(file.c_str());
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(ContextMenu, CommandsStartOneConverterPerFile) {
  SettingsSandbox sandbox;
  Library library;
  ASSERT_TRUE(library.loaded());
  const std::string record = FreshFolder("shellext") + "/record.txt";
  ASSERT_TRUE(SetEnvironmentVariableA("TERVANO_RECORD_FILE", record.c_str()));
  const std::string exec = "\"" + WindowsPath(TERVANO_RECORDER) + "\"";
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "ExecString", exec.c_str()).done());

  {
    Chosen one(library, {"C:\\Pics\\cat.gif"});
    ASSERT_NE(one.handler, nullptr);
    EXPECT_EQ(Invoke(one.handler, MAKEINTRESOURCEA(0)), S_OK);
    EXPECT_EQ(Recorded(record, 1), std::vector<std::string>{exec + " -quite C:\\Pics\\cat.gif"});
  }
  {
    Chosen three(library, {"C:\\My Pics\\b.gif", "C:\\a.gif", "D:\\c d.gif"});
    ASSERT_NE(three.handler, nullptr);
    EXPECT_EQ(Invoke(three.handler, "1"), S_OK);
    EXPECT_EQ(Recorded(record, 3),
              (std::vector<std::string>{exec + " C:\\My Pics\\b.gif", exec + " C:\\a.gif",
                                        exec + " D:\\c d.gif"}));
    // Convert takes the first file only.
    EXPECT_EQ(InvokeWideVerb(three.handler, L"0"), S_OK);
    EXPECT_EQ(Recorded(record, 1), std::vector<std::string>{exec + " -quite C:\\My Pics\\b.gif"});
  }

  // None of these starts anything; the last one starts one converter.
  {
    Chosen one(library, {"C:\\Pics\\cat.gif"});
    Chosen empty(library, {});
    ASSERT_NE(one.handler, nullptr);
    ASSERT_NE(empty.handler, nullptr);
    EXPECT_EQ(Invoke(one.handler, "open"), E_INVALIDARG);
    EXPECT_EQ(Invoke(one.handler, "01"), E_INVALIDARG);
    EXPECT_EQ(Invoke(one.handler, MAKEINTRESOURCEA(2)), E_INVALIDARG);
    EXPECT_EQ(Invoke(empty.handler, MAKEINTRESOURCEA(0)), S_OK);
    EXPECT_EQ(Invoke(empty.handler, MAKEINTRESOURCEA(1)), S_OK);
    sandbox.Clear();  // no ExecString: a failure, not a silent success
    EXPECT_EQ(Invoke(one.handler, MAKEINTRESOURCEA(0)), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  }
  // The command buffer holds 519 characters: a longer line is not cut.
  const std::string longExec = exec + std::string(255 - exec.size(), ' ');
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "ExecString", longExec.c_str()).done());
  // 255 + " -quite " + 256 = 519.
  const std::string fits = "C:\\" + std::string(256 - 7, 'f') + ".gif";
  const std::string tooLong = "C:\\" + std::string(257 - 7, 'l') + ".gif";
  {
    Chosen over(library, {tooLong});
    Chosen exact(library, {fits});
    ASSERT_NE(over.handler, nullptr);
    ASSERT_NE(exact.handler, nullptr);
    EXPECT_EQ(Invoke(over.handler, MAKEINTRESOURCEA(0)), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(Invoke(exact.handler, MAKEINTRESOURCEA(0)), S_OK);
    // A name longer than a path is left out, never cut.
    Chosen overPath(library, {"C:\\" + std::string(257, 'p') + ".gif", "C:\\b.gif"});
    ASSERT_NE(overPath.handler, nullptr);
    EXPECT_EQ(Invoke(overPath.handler, MAKEINTRESOURCEA(1)), S_OK);
    std::vector<std::string> lines = Recorded(record, 2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 519u);
    EXPECT_EQ(lines[0], longExec + " -quite " + fits);
    EXPECT_EQ(lines[1], longExec + " C:\\b.gif");
  }
  SetEnvironmentVariableA("TERVANO_RECORD_FILE", nullptr);
}

// What Explorer must not suffer: a command planted per user, or a
// converter that runs long without asking for a message.
TEST(ContextMenu, OnlyTheMachineCommandRunsAndExplorerNeverWaits) {
  SettingsSandbox sandbox;
  sandbox.Clear();
  Library library;
  ASSERT_TRUE(library.loaded());
  const std::string folder = WindowsPath(FreshFolder("shellext-start"));
  const std::string record = folder + "\\record.txt";
  const std::string release = folder + "\\release";
  ASSERT_TRUE(SetEnvironmentVariableA("TERVANO_RECORD_FILE", record.c_str()));
  const std::string exec = "\"" + WindowsPath(TERVANO_RECORDER) + "\"";
  Chosen one(library, {"C:\\Pics\\cat.gif"});
  ASSERT_NE(one.handler, nullptr);

  HKEY user = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &user,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(user, "ExecString", 0, REG_SZ, reinterpret_cast<const BYTE*>(exec.c_str()),
                 static_cast<DWORD>(exec.size() + 1));
  RegCloseKey(user);
  EXPECT_EQ(Invoke(one.handler, MAKEINTRESOURCEA(0)), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(Recorded(record, 0).empty()) << "a per-user ExecString ran";
  sandbox.Clear();

  // The started program records its line, then runs on until released.
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "ExecString", exec.c_str()).done());
  ASSERT_TRUE(SetEnvironmentVariableA("TERVANO_RECORD_HOLD", release.c_str()));
  IContextMenu* handler = one.handler;
  std::future<HRESULT> call = std::async(std::launch::async, [handler] { return Invoke(handler, "0"); });
  // Far less than a waiting start gives up after (30 s), far more than a
  // start that does not wait takes.
  EXPECT_EQ(call.wait_for(std::chrono::seconds(15)), std::future_status::ready)
      << "Explorer waits for the conversion";
  std::ofstream(release).put('1');
  EXPECT_EQ(call.get(), S_OK);
  EXPECT_EQ(Recorded(record, 1), std::vector<std::string>{exec + " -quite C:\\Pics\\cat.gif"});

  // A program that cannot be started is a failure too.
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "ExecString", "C:\\no\\such\\tervano.exe").done());
  EXPECT_EQ(Invoke(one.handler, "1"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  SetEnvironmentVariableA("TERVANO_RECORD_HOLD", nullptr);
  SetEnvironmentVariableA("TERVANO_RECORD_FILE", nullptr);
}

std::string ReadText(HKEY root, const std::string& path, const char* name, bool& found) {
  found = false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  char text[600] = {};
  DWORD type = 0;
  DWORD size = sizeof text - 1;
  found = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) ==
              ERROR_SUCCESS &&
          type == REG_SZ;
  RegCloseKey(key);
  return text;
}

bool KeyThere(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool WriteMachineText(const std::string& path, const std::string& text, REGSAM view = 0) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

// The registry view of the library of the other bitness; 0 where there is
// none (32-bit Windows).
REGSAM OtherView() {
#ifdef _WIN64
  return KEY_WOW64_32KEY;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

// Counts the association-change notices Explorer would get.
struct NoticeCounter {
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 7) {
      auto* self = reinterpret_cast<NoticeCounter*>(GetWindowLongPtrA(window, GWLP_USERDATA));
      if (self) ++self->notices;
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  NoticeCounter() {
    WNDCLASSA type = {};
    type.lpfnWndProc = Proc;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = "TervanoNoticeCounter";
    RegisterClassA(&type);
    window = CreateWindowA(type.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SHChangeNotifyEntry entry = {nullptr, TRUE};
    id = SHChangeNotifyRegister(window, SHCNRF_ShellLevel | SHCNRF_InterruptLevel, SHCNE_ASSOCCHANGED,
                                WM_APP + 7, 1, &entry);
  }
  ~NoticeCounter() {
    if (id) SHChangeNotifyDeregister(id);
    DestroyWindow(window);
  }
  int Take() {
    for (int i = 0; i < 20; ++i) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      if (notices) break;
      Sleep(50);
    }
    int n = notices;
    notices = 0;
    return n;
  }
  HWND window = nullptr;
  ULONG id = 0;
  int notices = 0;
};

// Explorer reads the handler for .gif files whatever file type is in
// effect; an older registration under the file type goes; the 32- and
// 64-bit libraries share the handler key.
TEST(ContextMenu, RegistrationForAnyGifTypeAndBothViews) {
  SettingsSandbox sandbox;
  Library library;
  ASSERT_TRUE(library.loaded());
  char dllPath[MAX_PATH] = {};
  GetModuleFileNameA(library.module, dllPath, sizeof dllPath);
  const std::string classes = "Software\\Classes\\";
  const std::string clsidKey = classes + "CLSID\\" + kClsidText;
  const std::string nameKey = "software\\classes\\clsid\\Tervano ContextMenu";
  const std::string handlerKey =
      "SystemFileAssociations\\.gif\\shellex\\ContextMenuHandlers\\Tervano ContextMenu";
  // What the setup of the version before left: the handler under the type.
  const std::string oldType = "TervanoTestGif";
  const std::string oldKey = oldType + "\\shellex\\ContextMenuHandlers\\Tervano ContextMenu";
  ASSERT_TRUE(WriteMachineText(classes + oldKey, kClsidText));
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "ContextMenuString", oldKey.c_str()).done());
  NoticeCounter explorer;
  ASSERT_NE(explorer.id, 0u);

  bool found = false;
  EXPECT_EQ(library.registerServer(), S_OK);
  EXPECT_EQ(explorer.Take(), 1);
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, clsidKey, nullptr, found), "Tervano ContextMenu");
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, clsidKey + "\\InProcServer32", nullptr, found), dllPath);
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, clsidKey + "\\InProcServer32", "ThreadingModel", found),
            "Apartment");
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, nameKey, nullptr, found), kClsidText);
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, classes + handlerKey, nullptr, found), kClsidText);
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, handlerKey, nullptr, found), kClsidText);
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, "Software\\Tervano", "ContextMenuString", found), handlerKey);
  EXPECT_FALSE(KeyThere(HKEY_CLASSES_ROOT, oldKey)) << "an item would show twice";
  EXPECT_TRUE(KeyThere(HKEY_CLASSES_ROOT, oldType + "\\shellex\\ContextMenuHandlers"));

  // Unregistering one library leaves the menu to the other's Explorer.
  const REGSAM other = OtherView();
  if (other) {
    ASSERT_TRUE(WriteMachineText(clsidKey + "\\InProcServer32", "C:\\other\\tervano_ctx.dll", other));
    EXPECT_EQ(library.unregisterServer(), S_OK);
    EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, clsidKey));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, classes + handlerKey, nullptr, found), kClsidText);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (clsidKey + "\\InProcServer32").c_str(), other, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, clsidKey.c_str(), other, 0);
    EXPECT_EQ(library.registerServer(), S_OK);
  }
  explorer.Take();
  EXPECT_EQ(library.unregisterServer(), S_OK);
  EXPECT_EQ(explorer.Take(), 1);
  EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, clsidKey));
  EXPECT_FALSE(KeyThere(HKEY_CLASSES_ROOT, handlerKey));
  EXPECT_TRUE(KeyThere(HKEY_CLASSES_ROOT, "SystemFileAssociations\\.gif\\shellex\\ContextMenuHandlers"));
  // Nothing left to remove.
  EXPECT_EQ(library.unregisterServer(), static_cast<HRESULT>(SELFREG_E_CLASS));

  // Leave the prefix as it was.
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, nameKey.c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, (oldType + "\\shellex\\ContextMenuHandlers").c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, (oldType + "\\shellex").c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, oldType.c_str());
}

TEST(ContextMenu, ClassObjectAndUnloadFollowTheObjects) {
  Library library;
  ASSERT_TRUE(library.loaded());
  EXPECT_EQ(library.canUnloadNow(), S_OK);
  void* out = &out;
  EXPECT_EQ(library.getClassObject(IID_IContextMenu, IID_IClassFactory, &out),
            static_cast<HRESULT>(CLASS_E_CLASSNOTAVAILABLE));
  EXPECT_EQ(out, nullptr);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(library.getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(library.canUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), static_cast<HRESULT>(E_UNEXPECTED));  // no lock to let go

  Selection outer({}, false);
  out = &out;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &out),
            static_cast<HRESULT>(CLASS_E_NOAGGREGATION));
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDataObject, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  IContextMenu* menu = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)),
            S_OK);
  IShellExtInit* init = nullptr;
  ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(library.canUnloadNow(), S_FALSE);  // the handler still lives

  init->Release();
  EXPECT_EQ(library.canUnloadNow(), S_FALSE);
  EXPECT_EQ(menu->Release(), 0u);
  EXPECT_EQ(library.canUnloadNow(), S_OK);

  // A lock keeps the library loaded without any object, until let go.
  ASSERT_EQ(library.getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(library.canUnloadNow(), S_FALSE);
  ASSERT_EQ(library.getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(library.canUnloadNow(), S_OK);
}

// The text of the convert item, as the menu holds it (wide).
std::wstring ConvertItemText(IContextMenu* handler) {
  HMENU menu = CreatePopupMenu();
  std::wstring text;
  if (handler->QueryContextMenu(menu, 0, 100, 200, CMF_NORMAL) == 0x00000002) {
    wchar_t buffer[600] = {};
    if (GetMenuStringW(menu, 100, buffer, 600, MF_BYCOMMAND) > 0) text = buffer;
  }
  DestroyMenu(menu);
  return text;
}

std::wstring Wide(const std::string& narrow) {
  std::wstring wide(narrow.size() + 1, L'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  return wide;
}

// Explorer as a standard user sees it: HKEY_LOCAL_MACHINE read-only, names
// that code page 936 lacks, and one whose double-byte name has a 0x5C byte.
TEST(ContextMenu, StandardUserAndNamesOutsideTheCodePage) {
  SettingsSandbox sandbox;
  sandbox.Clear();
  Library library;
  ASSERT_TRUE(library.loaded());
  const std::string folder = WindowsPath(FreshFolder("shellext-wide"));
  const std::string record = folder + "\\record.txt";
  ASSERT_TRUE(SetEnvironmentVariableA("TERVANO_RECORD_FILE", record.c_str()));
  const std::string exec = "\"" + WindowsPath(TERVANO_RECORDER) + "\"";
  ASSERT_TRUE(WriteKeyText(kSettingsKeyPath, "ExecString", exec.c_str()).done());  // the installer's
  const std::wstring hangul = Wide(folder) + L"\\사진 a.gif";
  const std::wstring plain = Wide(folder) + L"\\plain.gif";
  for (const std::wstring& name : {hangul, plain}) {
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  // Recorded as UTF-8: the name as Explorer gave it, never a short name.
  const std::string hangulUtf8 = folder + "\\\xEC\x82\xAC\xEC\xA7\x84 a.gif";

  MachineKeyWriteDenial denial(library.module);
  ASSERT_GT(denial.patched(), 0);
  {
    Selection one(std::vector<std::wstring>{hangul});
    IContextMenu* handler = library.NewMenu();
    ASSERT_NE(handler, nullptr);
    Initialize(handler, &one);
    const std::wstring item = L"转换至 사진 a.swf(&C)";  // outside the macro, whose text is GBK
    EXPECT_EQ(ConvertItemText(handler), item);
    EXPECT_EQ(Invoke(handler, MAKEINTRESOURCEA(0)), S_OK);
    EXPECT_EQ(Recorded(record, 1), std::vector<std::string>{exec + " -quite " + hangulUtf8});
    handler->Release();
  }
  {
    Selection two(std::vector<std::wstring>{hangul, plain});
    IContextMenu* handler = library.NewMenu();
    ASSERT_NE(handler, nullptr);
    Initialize(handler, &two);
    EXPECT_EQ(Invoke(handler, "1"), S_OK);
    std::vector<std::string> expected = {exec + " " + hangulUtf8, exec + " " + folder + "\\plain.gif"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Recorded(record, 2), expected);
    handler->Release();
  }
  {
    // U+4E57 is 0x81 0x5C in code page 936: no folder end in the item text.
    Selection trail(std::vector<std::wstring>{L"C:\\Pics\\乗乗.gif"});
    IContextMenu* handler = library.NewMenu();
    ASSERT_NE(handler, nullptr);
    Initialize(handler, &trail);
    const std::wstring item = L"转换至 乗乗.swf(&C)";
    EXPECT_EQ(ConvertItemText(handler), item);
    handler->Release();
  }
  SetEnvironmentVariableA("TERVANO_RECORD_FILE", nullptr);
}

}  // namespace
