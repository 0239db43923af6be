#include "dpi.h"

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);

// A function of user32 that older systems lack, or null.
template <typename Function>
Function NewerUser32Function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

UINT WindowDpi(HWND window) {
  // Windows 10 1607 and later; before, every window has the system's DPI.
  if (auto getDpiForWindow = NewerUser32Function<GetDpiForWindowFunction>("GetDpiForWindow")) {
    UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

int SystemMetricForDpi(int index, UINT dpi) {
  if (auto forDpi = NewerUser32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi")) {
    int value = forDpi(index, dpi);
    if (value > 0) return value;
  }
  // The system's DPI, the only one WindowDpi gives without that function.
  return GetSystemMetrics(index);
}

HICON LoadIconForDpi(int iconId, int metric, UINT dpi) {
  int size = SystemMetricForDpi(metric, dpi);
  // The icon's image of that size, or the nearest one scaled.
  return static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId), IMAGE_ICON, size, size, 0));
}

HBITMAP LoadBitmapForDpi(int normalId, int doubleId, int width, int height, UINT dpi) {
  const int targetWidth = MulDiv(width, static_cast<int>(dpi), 96);
  const int targetHeight = MulDiv(height, static_cast<int>(dpi), 96);
  if (targetWidth <= 0 || targetHeight <= 0) return nullptr;
  // Shrinking the larger drawing loses less than enlarging the smaller one.
  const int sourceId = targetWidth <= width ? normalId : doubleId;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  auto source = static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(sourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!source) return nullptr;
  BITMAP sourceInfo = {};
  HBITMAP result = nullptr;
  if (GetObjectA(source, sizeof sourceInfo, &sourceInfo)) {
    // 24 bits: no alpha channel, so a picture control shows this bitmap
    // itself rather than a copy of its own.
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = targetWidth;
    header.bmiHeader.biHeight = -targetHeight;  // top-down
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    result = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  HDC from = CreateCompatibleDC(nullptr);
  HDC to = CreateCompatibleDC(nullptr);
  bool drawn = false;
  if (result && from && to) {
    HGDIOBJ oldFrom = SelectObject(from, source);
    HGDIOBJ oldTo = SelectObject(to, result);
    if (sourceInfo.bmWidth == targetWidth && sourceInfo.bmHeight == targetHeight) {
      drawn = BitBlt(to, 0, 0, targetWidth, targetHeight, from, 0, 0, SRCCOPY) != FALSE;
    } else {
      // Halftone averages the source pixels under each target pixel.
      SetStretchBltMode(to, HALFTONE);
      SetBrushOrgEx(to, 0, 0, nullptr);
      drawn = StretchBlt(to, 0, 0, targetWidth, targetHeight, from, 0, 0, sourceInfo.bmWidth, sourceInfo.bmHeight,
                         SRCCOPY) != FALSE;
    }
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
  }
  if (from) DeleteDC(from);
  if (to) DeleteDC(to);
  DeleteObject(source);
  if (!drawn && result) {
    DeleteObject(result);
    result = nullptr;
  }
  return result;
}
