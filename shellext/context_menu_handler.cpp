#include "context_menu_handler.h"

#include <shellapi.h>

#include <cstring>
#include <new>

#include "path_limit.h"
#include "registration.h"
#include "resource.h"

namespace {

constexpr UINT kConvertCommand = 0;
constexpr UINT kAddCommand = 1;
constexpr size_t kNameBuffer = kPathLimit + 1;  // a full path buffer and one more zero
constexpr size_t kCommandBuffer = 520;  // one command line and its terminator
constexpr const wchar_t* kExecValue = L"ExecString";

// Wide, so no trail byte of a double-byte character passes for a "\".
std::wstring OutputNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name + L".swf";
}

// The command that starts the converter. Only the installer writes it, and
// only machine-wide: a per-user value could be planted by any program the
// user runs, and would then run with the rights of whoever opens the menu.
HRESULT ReadExecString(std::wstring& exec) {
  exec.clear();
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE, &key);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  wchar_t text[kNameBuffer] = {};
  DWORD type = 0;
  DWORD size = (kNameBuffer - 1) * sizeof(wchar_t);  // a zero stays behind the text
  status = RegQueryValueExW(key, kExecValue, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (status == ERROR_MORE_DATA) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  if (type != REG_SZ) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  exec = text;
  return exec.empty() ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : S_OK;
}

// The system's words for a failure, without its line break.
std::wstring SystemReason(DWORD error) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = length && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n')) reason.pop_back();
  return reason;
}

// Starts one converter and lets it run: Explorer's window must not wait
// for a conversion.
DWORD StartConverter(const std::wstring& line) {
  std::vector<wchar_t> text(line.begin(), line.end());
  text.push_back(0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return GetLastError();
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ERROR_SUCCESS;
}

// The screen's scale in whole steps of 100 %: the 12-pixel glyph grows by
// whole pixels, so it stays sharp. GetDpiForSystem is new in Windows 10.
int GlyphScale() {
  int dpi = 0;
  using DpiForSystem = UINT(WINAPI*)();
  HMODULE user = GetModuleHandleW(L"user32.dll");
  auto dpiForSystem = reinterpret_cast<DpiForSystem>(
      reinterpret_cast<void*>(user ? GetProcAddress(user, "GetDpiForSystem") : nullptr));
  if (dpiForSystem) {
    dpi = static_cast<int>(dpiForSystem());
  } else if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi >= 192 ? dpi / 96 : 1;
}

// A copy of bitmap enlarged scale times, each pixel a square block.
HBITMAP Enlarged(HBITMAP bitmap, int scale) {
  BITMAP size = {};
  if (!GetObjectW(bitmap, sizeof size, &size)) return nullptr;
  HDC screen = GetDC(nullptr);
  if (!screen) return nullptr;
  HBITMAP large = CreateCompatibleBitmap(screen, size.bmWidth * scale, size.bmHeight * scale);
  HDC from = CreateCompatibleDC(screen);
  HDC to = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  if (large && from && to) {
    HGDIOBJ oldFrom = SelectObject(from, bitmap);
    HGDIOBJ oldTo = SelectObject(to, large);
    SetStretchBltMode(to, COLORONCOLOR);
    StretchBlt(to, 0, 0, size.bmWidth * scale, size.bmHeight * scale, from, 0, 0, size.bmWidth,
               size.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
  }
  if (from) DeleteDC(from);
  if (to) DeleteDC(to);
  return large;
}

// A verb given as text: "0" or "1" only; anything else is no command of
// ours (the shell also passes verbs such as "open" to every handler).
template <typename Char>
int ParseVerb(const Char* verb, UINT& command) {
  if (verb[0] < '0' || verb[0] > '1' || verb[1] != 0) return 0;
  command = static_cast<UINT>(verb[0] - '0');
  return 1;
}

// What a CF_HDROP block holds. DragQueryFile reads names until a double
// terminator and never looks at the block's size, so a list that does not
// end inside its block must not reach it.
enum class DropList { kNames, kEmpty, kUnterminated };

DropList InspectDropList(HGLOBAL memory) {
  const SIZE_T size = GlobalSize(memory);
  const unsigned char* bytes = static_cast<const unsigned char*>(GlobalLock(memory));
  if (!bytes) return DropList::kUnterminated;
  DropList found = DropList::kUnterminated;
  DROPFILES header;
  if (size >= sizeof header) {
    std::memcpy(&header, bytes, sizeof header);
    if (header.pFiles < size) {
      const size_t unit = header.fWide ? 2 : 1;
      const unsigned char* list = bytes + header.pFiles;
      const size_t count = (size - header.pFiles) / unit;
      auto isEnd = [&](size_t i) { return list[i * unit] == 0 && list[i * unit + unit - 1] == 0; };
      // A terminator first is an empty list, which ends there.
      if (count > 0 && isEnd(0)) found = DropList::kEmpty;
      for (size_t i = 1; found == DropList::kUnterminated && i + 1 < count; ++i)
        if (isEnd(i) && isEnd(i + 1)) found = DropList::kNames;
    }
  }
  GlobalUnlock(memory);
  return found;
}

}  // namespace

ContextMenuHandler::ContextMenuHandler(ModuleState& module) : module_(module) {
  ++module_.liveObjects;
}

ContextMenuHandler::~ContextMenuHandler() {
  if (data_) data_->Release();
  // The menu that showed the glyph is gone before Explorer lets go of us.
  if (glyph_) DeleteObject(glyph_);
  --module_.liveObjects;
}

STDMETHODIMP ContextMenuHandler::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellExtInit))
    *out = static_cast<IShellExtInit*>(this);
  else if (IsEqualIID(iid, IID_IContextMenu))
    *out = static_cast<IContextMenu*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ContextMenuHandler::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) ContextMenuHandler::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP ContextMenuHandler::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  if (data) data->AddRef();
  if (data_) data_->Release();
  data_ = data;
  files_.clear();  // the names of an earlier selection are no longer chosen
  filesRead_ = false;
  return S_OK;
}

const std::vector<std::wstring>& ContextMenuHandler::Files() {
  if (filesRead_ || !data_) return files_;
  filesRead_ = true;
  FORMATETC drop = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  if (FAILED(data_->GetData(&drop, &medium))) return files_;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal &&
      InspectDropList(medium.hGlobal) == DropList::kNames) {
    HDROP files = static_cast<HDROP>(medium.hGlobal);
    UINT count = DragQueryFileW(files, 0xFFFFFFFF, nullptr, 0);
    try {
      files_.reserve(count);
      for (UINT i = 0; i < count; ++i) {
        // An empty name names no file; a longer one than a path buffer
        // holds would be cut.
        UINT length = DragQueryFileW(files, i, nullptr, 0);
        if (length == 0 || length >= kNameBuffer) continue;
        wchar_t name[kNameBuffer] = {};
        if (DragQueryFileW(files, i, name, kNameBuffer) == length) files_.emplace_back(name);
      }
    } catch (...) {
      files_.clear();  // out of memory: no selection rather than part of one
    }
  }
  ReleaseStgMedium(&medium);
  return files_;
}

HBITMAP ContextMenuHandler::MenuGlyph() {
  if (glyph_) return glyph_;
  glyph_ = LoadBitmapW(module_.instance, MAKEINTRESOURCEW(IDB_MENU_GLYPH));
  const int scale = GlyphScale();
  if (glyph_ && scale > 1) {
    if (HBITMAP large = Enlarged(glyph_, scale)) {
      DeleteObject(glyph_);
      glyph_ = large;
    }
  }
  return glyph_;
}

STDMETHODIMP ContextMenuHandler::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT,
                                                  UINT flags) {
  if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
  const std::vector<std::wstring>& files = Files();
  // Both commands need a file; with none there is nothing to offer.
  if (files.empty()) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
  HBITMAP glyph = MenuGlyph();
  if (files.size() == 1) {
    std::wstring text = L"转换至 " + OutputNameOf(files[0]) + L"(&C)";
    if (text.size() >= kCommandBuffer) text = L"转换选择的文件(&C)";
    InsertMenuW(menu, index, MF_STRING | MF_BYPOSITION, firstId + kConvertCommand, text.c_str());
    SetMenuItemBitmaps(menu, index, MF_BYPOSITION, glyph, glyph);
    ++index;
  }
  InsertMenuW(menu, index, MF_STRING | MF_BYPOSITION, firstId + kAddCommand,
              L"添加至 Tervano 列表(&A)");
  SetMenuItemBitmaps(menu, index, MF_BYPOSITION, glyph, glyph);
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2);
}

STDMETHODIMP ContextMenuHandler::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  if (!info || info->cbSize < sizeof(CMINVOKECOMMANDINFO)) return E_INVALIDARG;
  UINT command = 0;
  const CMINVOKECOMMANDINFOEX* extended = reinterpret_cast<CMINVOKECOMMANDINFOEX*>(info);
  if (info->cbSize >= sizeof(CMINVOKECOMMANDINFOEX) && (info->fMask & CMIC_MASK_UNICODE) &&
      extended->lpVerbW && !IS_INTRESOURCE(extended->lpVerbW)) {
    if (!ParseVerb(extended->lpVerbW, command)) return E_INVALIDARG;
  } else if (!IS_INTRESOURCE(info->lpVerb)) {
    if (!ParseVerb(info->lpVerb, command)) return E_INVALIDARG;
  } else {
    command = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
  }
  const bool mayShowUi = !(info->fMask & CMIC_MASK_FLAG_NO_UI);
  return ExecuteVerb(command, mayShowUi ? info->hwnd : nullptr, mayShowUi);
}

HRESULT ContextMenuHandler::ExecuteVerb(UINT command, HWND owner, bool mayShowUi) {
  if (command != kConvertCommand && command != kAddCommand) return E_INVALIDARG;
  const std::vector<std::wstring>& files = Files();
  if (files.empty()) return S_OK;  // nothing was chosen
  auto tell = [&](const std::wstring& text) {
    if (mayShowUi) MessageBoxW(owner, text.c_str(), L"Tervano", MB_OK | MB_ICONEXCLAMATION);
  };
  std::wstring exec;
  HRESULT result = ReadExecString(exec);
  if (FAILED(result)) {
    tell(L"错误: 找不到 Tervano 程序，无法处理文件 " + files[0]);
    return result;
  }
  const bool quiet = command == kConvertCommand;
  const size_t count = quiet ? 1 : files.size();
  // One converter per file: each hands its file to the running window.
  // The name goes as Explorer gave it: the converter reads its wide
  // command line.
  for (size_t i = 0; i < count; ++i) {
    const std::wstring line = exec + (quiet ? L" -quite " : L" ") + files[i];
    // A cut path would convert or add some other file.
    DWORD error = line.size() < kCommandBuffer ? StartConverter(line) : ERROR_FILENAME_EXCED_RANGE;
    if (error == ERROR_SUCCESS) continue;
    if (error == ERROR_FILENAME_EXCED_RANGE)
      tell(L"错误: 路径太长 " + files[i]);
    else
      tell(L"错误: 无法启动 Tervano 处理文件 " + files[i] + L"\n" + SystemReason(error));
    if (SUCCEEDED(result)) result = HRESULT_FROM_WIN32(error);
  }
  return result;
}

STDMETHODIMP ContextMenuHandler::GetCommandString(UINT_PTR id, UINT type, UINT*, CHAR* name,
                                                  UINT maximum) {
  bool known = id == kConvertCommand || id == kAddCommand;
  bool validate = (type & ~GCS_UNICODE) == GCS_VALIDATEA;
  if (validate && !name) return known ? S_OK : S_FALSE;
  // The buffer in bytes: maximum counts wide characters for wide requests.
  size_t room = (type & GCS_UNICODE) ? size_t(maximum) * 2 : size_t(maximum);
  if (!name || room == 0) return E_INVALIDARG;
  name[0] = 0;
  if (room >= 2) name[1] = 0;
  if (!known) return E_INVALIDARG;
  // The verb as UTF-16 text with its terminator; read as ANSI it is the
  // same one digit.
  const char text[4] = {static_cast<char>('0' + id), 0, 0, 0};
  if (room < sizeof text) return E_INVALIDARG;
  std::memcpy(name, text, sizeof text);
  return S_OK;
}
