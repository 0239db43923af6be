// The registry entries that make the library the context-menu handler of
// .gif files.
#pragma once
#include <windows.h>

// {3EEBE959-786D-4C99-A43D-E5FAF0591BA8}
extern const CLSID kContextMenuClsid;

// Writes the class, its server path (libraryPath) and the handler key of
// the .gif file type; S_OK or SELFREG_E_CLASS, with no rollback.
HRESULT RegisterContextMenu(const char* libraryPath);
// Removes the class and the handler key that registration recorded; S_OK or
// SELFREG_E_CLASS.
HRESULT UnregisterContextMenu();
