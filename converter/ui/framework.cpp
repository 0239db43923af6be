#include "framework.h"

#include <algorithm>
#include <cstring>

#include "platform/wide_text.h"

namespace {

const wchar_t kControlProperty[] = L"TervanoControl";

}  // namespace

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<size_t>(std::max(copied, 0)));
}


bool CopyToBuffer(const std::string& text, char* buffer, size_t size) {
  if (size == 0) return false;
  if (text.size() >= size) {
    buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

// ---- StaticControl

StaticControl::~StaticControl() { Detach(); }

int StaticControl::SubclassDlgItem(int id, HWND dialog) {
  HWND window = GetDlgItem(dialog, id);
  if (!window || hwnd_) return 0;
  hwnd_ = window;
  SetPropW(window, kControlProperty, reinterpret_cast<HANDLE>(this));
  original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticControl::SubclassProc)));
  OnAttach();
  return 1;
}

void StaticControl::Detach() {
  if (!hwnd_) return;
  if (IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    RemovePropW(hwnd_, kControlProperty);
  }
  hwnd_ = nullptr;
}

bool StaticControl::PreTranslateMessage(MSG*) { return false; }

HBRUSH StaticControl::OnCtlColor(HDC) { return nullptr; }

LRESULT StaticControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam);
}

LRESULT StaticControl::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(original_, hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK StaticControl::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  auto* self = reinterpret_cast<StaticControl*>(GetPropW(window, kControlProperty));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    WNDPROC original = self->original_;
    self->Detach();
    return CallWindowProcW(original, window, message, wParam, lParam);
  }
  return self->WindowProc(message, wParam, lParam);
}

// ---- DataExchange

void DataExchange::Text(int id, std::string& value, TextCoding coding) {
  HWND control = GetDlgItem(dialog_, id);
  if (!control) return;
  if (collect_) {
    std::wstring text = WindowText(control);
    // A program text is only ever shown, never read back.
    if (coding == TextCoding::kUtf8) value = Utf8FromWide(text);
    if (coding == TextCoding::kAnsi) value = AnsiFromWide(text);
    return;
  }
  std::wstring wide = coding == TextCoding::kUtf8    ? WideFromUtf8(value)
                      : coding == TextCoding::kAnsi ? WideFromAnsi(value)
                                                    : WideFromGb2312(value);
  // Only a real change, so that change notifications do not echo.
  if (WindowText(control) != wide) SetWindowTextW(control, wide.c_str());
}

void DataExchange::Check(int id, int32_t& value) {
  if (collect_) {
    value = IsDlgButtonChecked(dialog_, id) == BST_CHECKED ? 1 : 0;
  } else {
    CheckDlgButton(dialog_, id, value ? BST_CHECKED : BST_UNCHECKED);
  }
}

void DataExchange::Control(int id, StaticControl& control) {
  if (control.hwnd()) return;
  if (control.SubclassDlgItem(id, dialog_)) controls_.push_back(&control);
}

// ---- Dialog

Dialog::~Dialog() {
  if (hwnd_) DestroyWindow(hwnd_);
}

INT_PTR Dialog::DoModal() {
  HWND owner = parent_;
  hwnd_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner,
                             &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
  if (!hwnd_) return -1;
  bool ownerEnabled = owner && IsWindowEnabled(owner);
  if (ownerEnabled) EnableWindow(owner, FALSE);
  running_ = true;
  result_ = IDCANCEL;
  ShowWindow(hwnd_, SW_SHOW);
  MSG msg;
  while (running_) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
      break;
    }
    if (got < 0) break;
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  running_ = false;
  // The owner comes back first, so that it gets the activation.
  if (ownerEnabled) EnableWindow(owner, TRUE);
  if (hwnd_) DestroyWindow(hwnd_);
  if (owner) SetActiveWindow(owner);
  return result_;
}

int Dialog::Create() {
  hwnd_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent_,
                             &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
  return hwnd_ ? 1 : 0;
}

void Dialog::EndDialog(INT_PTR result) {
  result_ = result;
  running_ = false;
  // The loop waits in GetMessage: one more message lets it see the end.
  if (hwnd_) PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void Dialog::UpdateData(bool collect) {
  if (!hwnd_) return;
  DataExchange exchange(hwnd_, collect, controls_);
  DoDataExchange(exchange);
}

bool Dialog::PreTranslateMessage(MSG* msg) {
  for (StaticControl* control : controls_) {
    if (control->hwnd() && control->PreTranslateMessage(msg)) return true;
  }
  return hwnd_ && IsDialogMessageW(hwnd_, msg);
}

bool Dialog::OnCommand(int id, int, HWND) {
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

void Dialog::DoDataExchange(DataExchange&) {}

bool Dialog::WindowProc(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool Dialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void Dialog::OnOK() {
  UpdateData(true);
  EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

StaticControl* Dialog::AttachedControl(HWND window) const {
  for (StaticControl* control : controls_) {
    if (control->hwnd() == window) return control;
  }
  return nullptr;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = window;
    return self->OnInitDialog() ? TRUE : FALSE;
  }
  self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  switch (message) {
    case WM_COMMAND:
      return self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE
                                                                                            : FALSE;
    case WM_CTLCOLORSTATIC: {
      StaticControl* control = self->AttachedControl(reinterpret_cast<HWND>(lParam));
      HBRUSH brush = control ? control->OnCtlColor(reinterpret_cast<HDC>(wParam)) : nullptr;
      if (brush) return reinterpret_cast<INT_PTR>(brush);
      return FALSE;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, DWLP_USER, 0);
      self->hwnd_ = nullptr;
      self->running_ = false;
      self->controls_.clear();
      return FALSE;
    default:
      break;
  }
  LRESULT result = 0;
  if (self->WindowProc(message, wParam, lParam, result)) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
  }
  return FALSE;
}
