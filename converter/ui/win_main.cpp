// The Windows program: every start goes through StartUp, which opens the
// main window, hands a file to it, or converts "-quite FILE" without a
// window.
#include <windows.h>

#include "start_up.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return StartUp(StartUpText()); }
