// Sizes for the DPI of a window. The program is per-monitor DPI aware (its
// manifest), so it draws its own pictures and icons at each window's DPI.
// Functions newer than Windows 7 are looked up at run time: the program
// must still start where they are missing, and falls back to the system
// DPI there.
#pragma once
#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The DPI a window is drawn at (96 is 100 %).
UINT WindowDpi(HWND window);
// GetSystemMetrics for a DPI.
int SystemMetricForDpi(int index, UINT dpi);

// An icon resource at the size of a metric (SM_CXICON, SM_CXSMICON) for a
// DPI; the caller destroys it. Null when it cannot be loaded.
HICON LoadIconForDpi(int iconId, int metric, UINT dpi);

// A picture drawn at 100 % (width by height pixels) and at 200 % (twice
// that), as bitmap resources: a 24-bit bitmap of the size for dpi, the
// drawing that fits taken as it is, else the 200 % one scaled smoothly.
// The caller deletes it. Null when it cannot be made.
HBITMAP LoadBitmapForDpi(int normalId, int doubleId, int width, int height, UINT dpi);
