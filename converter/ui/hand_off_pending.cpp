// The hand-off of a file to a running main window comes with the next
// step of the program; until then a second start with a file ends without
// a window and its file is not passed on.
#include "app/start_up.h"

void HandOffFiles(const char*, HWND) {}
