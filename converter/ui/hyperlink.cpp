#include "hyperlink.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <vector>

#include "app/window_rules.h"
#include "platform/path_limit.h"
#include "platform/wide_text.h"

CHyperLink::~CHyperLink() {
  if (tooltip_ && IsWindow(tooltip_)) DestroyWindow(tooltip_);
  if (underlineFont_) DeleteObject(underlineFont_);
  if (hand_ && ownsHand_) DestroyCursor(hand_);
}

void CHyperLink::SetLink(const std::string& url, const std::string& tooltip) {
  url_ = url;
  tooltipText_ = tooltip;
  colour_ = linkColour;
}

void CHyperLink::OnAttach() {
  if (url_.empty()) {
    url_ = AnsiFromWide(WindowText(hwnd()));
  }
  colour_ = visited_ ? visitedColour : linkColour;
  if (!tooltipText_.empty()) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               GetParent(hwnd()), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (tooltip_) {
      // The tooltip is a program text; the control keeps the wide copy.
      tooltipWide_ = WideFromGb2312(tooltipText_);
      TOOLINFOW tool = {};
      tool.cbSize = TTTOOLINFOW_V2_SIZE;
      tool.uFlags = TTF_IDISHWND;
      tool.hwnd = GetParent(hwnd());
      tool.uId = reinterpret_cast<UINT_PTR>(hwnd());
      tool.lpszText = &tooltipWide_[0];
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  }
}

bool CHyperLink::PreTranslateMessage(MSG* msg) {
  if (tooltip_ && msg->hwnd == hwnd()) {
    SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
  }
  return StaticControl::PreTranslateMessage(msg);
}

bool CHyperLink::IsTextStatic() const {
  LONG_PTR type = GetWindowLongPtrW(hwnd(), GWL_STYLE) & SS_TYPEMASK;
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
}

HBRUSH CHyperLink::OnCtlColor(HDC dc) {
  if (!IsTextStatic()) return nullptr;
  if (!underlineFont_) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW logFont = {};
    if (GetObjectW(font, sizeof logFont, &logFont)) {
      logFont.lfUnderline = TRUE;
      underlineFont_ = CreateFontIndirectW(&logFont);
    }
    if (underlineFont_) FitToText();
  }
  if (underlineFont_) SelectObject(dc, underlineFont_);
  SetTextColor(dc, colour_);
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

void CHyperLink::FitToText() {
  HWND window = hwnd();
  HWND parent = GetParent(window);
  std::wstring text = WindowText(window);
  SIZE extent = {0, 0};
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, underlineFont_);
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(window, dc);

  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  LONG height = rect.bottom - rect.top;
  LONG width = rect.right - rect.left;
  if (style & SS_CENTERIMAGE) {
    LONG half = (height - extent.cy) / 2;
    rect.top += half;
    rect.bottom -= half;
  } else {
    rect.bottom = rect.top + extent.cy;
  }
  LONG_PTR type = style & SS_TYPEMASK;
  if (type == SS_CENTER) {
    LONG half = (width - extent.cx) / 2;
    rect.left += half;
    rect.right -= half;
  } else if (type == SS_RIGHT) {
    rect.left = rect.right - extent.cx;
  } else {
    rect.right = rect.left + extent.cx;
  }
  RECT outer, client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  LONG borderX = (outer.right - outer.left) - (client.right - client.left);
  LONG borderY = (outer.bottom - outer.top) - (client.bottom - client.top);
  MoveWindow(window, rect.left, rect.top, rect.right - rect.left + borderX,
             rect.bottom - rect.top + borderY, TRUE);
}

HCURSOR CHyperLink::HandCursor() {
  if (handTried_) return hand_;
  handTried_ = true;
  // The help viewer's hand, as on systems without a hand of their own.
  wchar_t folder[kPathLimit];
  UINT length = GetWindowsDirectoryW(folder, kPathLimit);
  if (length > 0 && length < kPathLimit) {
    std::wstring viewer = std::wstring(folder) + L"\\winhlp32.exe";
    HMODULE module = LoadLibraryExW(viewer.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module) {
      HCURSOR cursor = LoadCursorA(module, MAKEINTRESOURCEA(106));
      if (cursor) {
        hand_ = static_cast<HCURSOR>(CopyImage(cursor, IMAGE_CURSOR, 0, 0, 0));
        ownsHand_ = hand_ != nullptr;
      }
      FreeLibrary(module);
    }
  }
  if (!hand_) hand_ = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
  return hand_;
}

void CHyperLink::Repaint() {
  // Transparent text: the dialog repaints the background under it first.
  RECT rect;
  GetWindowRect(hwnd(), &rect);
  MapWindowPoints(nullptr, GetParent(hwnd()), reinterpret_cast<POINT*>(&rect), 2);
  InvalidateRect(GetParent(hwnd()), &rect, TRUE);
  InvalidateRect(hwnd(), nullptr, TRUE);
}

LRESULT CHyperLink::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_SETCURSOR:
      if (HCURSOR hand = HandCursor()) {
        SetCursor(hand);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      moved_ = false;
      pressedAt_.x = GET_X_LPARAM(lParam);
      pressedAt_.y = GET_Y_LPARAM(lParam);
      colour_ = pressedColour;
      SetCapture(hwnd());
      Repaint();
      return 0;
    case WM_MOUSEMOVE:
      // Only a real movement cancels: the system also sends moves in place.
      if (pressed_ && (GET_X_LPARAM(lParam) != pressedAt_.x || GET_Y_LPARAM(lParam) != pressedAt_.y)) {
        moved_ = true;
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
      }
      return 0;
    case WM_LBUTTONUP:
      if (pressed_) {
        if (!moved_) {
          visited_ = true;
          OpenLink(url_, SW_SHOWNORMAL);
        }
        colour_ = visited_ ? visitedColour : linkColour;
        moved_ = false;
        pressed_ = false;
        ReleaseCapture();
        Repaint();
      }
      return 0;
    case WM_CAPTURECHANGED:
      // Capture taken away (another window, Escape): the press is over.
      if (pressed_ && reinterpret_cast<HWND>(lParam) != hwnd()) {
        pressed_ = false;
        moved_ = false;
        colour_ = visited_ ? visitedColour : linkColour;
        Repaint();
      }
      break;
    default:
      break;
  }
  return StaticControl::WindowProc(message, wParam, lParam);
}

INT_PTR CHyperLink::OpenLink(const std::string& url, int showMode) {
  // Shells stop at path-sized names (Wine hangs or dies on a long unknown
  // address), so a longer address goes to the web page command at once.
  INT_PTR result = SE_ERR_NOASSOC;
  // The address is kept in the ANSI code page, as the settings store it.
  const std::wstring wideUrl = WideFromAnsi(url);
  if (url.size() < kPathLimit) {
    result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wideUrl.c_str(), nullptr, nullptr, showMode));
    if (result > 32) return result;
  }
  wchar_t htmlClass[kPathLimit];
  LONG size = sizeof htmlClass;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, L".htm", htmlClass, &size) != ERROR_SUCCESS) return result;
  htmlClass[kPathLimit - 1] = L'\0';
  std::wstring commandKey = std::wstring(htmlClass) + L"\\shell\\open\\command";
  wchar_t registered[kPathLimit];
  size = sizeof registered;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, commandKey.c_str(), registered, &size) != ERROR_SUCCESS) {
    return result;
  }
  registered[kPathLimit - 1] = L'\0';
  // Sized to the text: a long address must not overrun the command line.
  std::wstring line = WideFromUtf8(BuildOpenCommand(Utf8FromWide(registered), Utf8FromWide(wideUrl)));
  std::vector<wchar_t> commandLine(line.begin(), line.end());
  commandLine.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showMode);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return result;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 33;
}
