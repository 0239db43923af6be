#include "context_menu_handler.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "app/settings_store.h"
#include "platform/ansi_path.h"
#include "platform/registry_keys.h"

namespace {

constexpr UINT kConvertCommand = 0;
constexpr UINT kAddCommand = 1;
constexpr size_t kNameBuffer = 261;     // one path and its terminator
constexpr size_t kCommandBuffer = 520;  // one command line and its terminator
constexpr const char* kExecValue = "ExecString";

// Wide, so no trail byte of a double-byte character passes for a "\".
std::wstring OutputNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name + L".swf";
}

// 0 when the line would not fit the command buffer: a cut path would
// convert or add some other file.
int ComposeCommandLine(const std::string& exec, bool quiet, const std::string& path,
                       std::string& line) {
  line = exec + (quiet ? " -quite " : " ") + path;
  return line.size() < kCommandBuffer ? 1 : 0;
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
  return S_OK;
}

int ContextMenuHandler::ReadFileList() {
  if (!data_) return 0;
  IEnumFORMATETC* formats = nullptr;
  if (FAILED(data_->EnumFormatEtc(DATADIR_GET, &formats)) || !formats) return 0;
  formats->Reset();
  FORMATETC format;
  while (formats->Next(1, &format, nullptr) == S_OK) {
    if (format.ptd) CoTaskMemFree(format.ptd);
    FORMATETC drop = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data_->GetData(&drop, &medium))) continue;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal &&
        InspectDropList(medium.hGlobal) == DropList::kNames) {
      HDROP files = static_cast<HDROP>(medium.hGlobal);
      UINT count = DragQueryFileW(files, 0xFFFFFFFF, nullptr, 0);
      if (count > 0) {
        std::vector<std::wstring> names;
        try {
          names.reserve(count);
          for (UINT i = 0; i < count; ++i) {
            // An empty name names no file; a longer one than a path buffer
            // holds would be cut.
            UINT length = DragQueryFileW(files, i, nullptr, 0);
            if (length == 0 || length >= kNameBuffer) continue;
            wchar_t name[kNameBuffer] = {};
            if (DragQueryFileW(files, i, name, kNameBuffer) == length) names.emplace_back(name);
          }
          if (!names.empty()) files_.swap(names);
        } catch (...) {
          // Out of memory: keep the list as it was.
        }
      }
    }
    ReleaseStgMedium(&medium);
  }
  formats->Release();
  return 1;
}

STDMETHODIMP ContextMenuHandler::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT,
                                                  UINT flags) {
  if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
  ReadFileList();
  // Both commands need a file; with none there is nothing to offer.
  if (files_.empty()) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
  if (files_.size() == 1) {
    std::wstring text = L"转换至 " + OutputNameOf(files_[0]) + L"(&C)";
    if (text.size() >= kCommandBuffer) text = L"转换选择的文件(&C)";
    InsertMenuW(menu, index, MF_STRING | MF_BYPOSITION, firstId + kConvertCommand, text.c_str());
    SetMenuItemBitmaps(menu, index, MF_BYPOSITION, module_.menuBitmap, module_.menuBitmap);
    ++index;
  }
  InsertMenuA(menu, index, MF_STRING | MF_BYPOSITION, firstId + kAddCommand,
              "添加至 Tervano 列表(&A)");
  SetMenuItemBitmaps(menu, index, MF_BYPOSITION, module_.menuBitmap, module_.menuBitmap);
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
  HWND owner = (info->fMask & CMIC_MASK_FLAG_NO_UI) ? nullptr : info->hwnd;
  return ExecuteVerb(command, owner, !(info->fMask & CMIC_MASK_FLAG_NO_UI)) ? S_OK : E_INVALIDARG;
}

int ContextMenuHandler::ExecuteVerb(UINT command, HWND owner, bool mayShowUi) {
  if (command != kConvertCommand && command != kAddCommand) return 0;
  std::string exec;
  if (!ReadKeyText(kSettingsKeyPath, kExecValue, exec) || exec.empty()) return 1;
  ReadFileList();
  if (files_.empty()) return 1;
  std::string line;
  size_t count = command == kConvertCommand ? 1 : files_.size();
  // One converter per file: each hands its file to the running window.
  for (size_t i = 0; i < count; ++i) {
    // The converter reads a narrow command line: a name the code page lacks
    // goes as its short name, never as "?" or a look-alike of another file.
    AnsiPath path = AnsiPathOf(files_[i].c_str());
    if (path.kind == AnsiPathKind::kNone) {
      if (mayShowUi)
        MessageBoxW(owner, NoAnsiPathMessage(files_[i].c_str()).c_str(), L"Tervano", MB_OK | MB_ICONERROR);
      continue;
    }
    if (ComposeCommandLine(exec, command == kConvertCommand, path.path, line)) WinExec(line.c_str(), SW_SHOW);
  }
  return 1;
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
