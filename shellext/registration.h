// The registry entries that make the library the context-menu handler of
// .gif files, whatever program opens them.
#pragma once
#include <windows.h>

// {3EEBE959-786D-4C99-A43D-E5FAF0591BA8}
extern const CLSID kContextMenuClsid;

// The settings key of the program, under HKEY_LOCAL_MACHINE.
constexpr const wchar_t* kSettingsKey = L"Software\\Tervano";
// The handler key, below HKEY_CLASSES_ROOT: Explorer reads it for .gif
// files whichever file type the user's choice gives them. One key for the
// 32- and 64-bit registry views.
constexpr const wchar_t* kHandlerKey =
    L"SystemFileAssociations\\.gif\\shellex\\ContextMenuHandlers\\Tervano ContextMenu";

// Writes the class and its server path (libraryPath) in this library's
// registry view and the shared handler key, and removes the handler key of
// an older registration under the .gif file type. S_OK or SELFREG_E_CLASS,
// with no rollback.
HRESULT RegisterContextMenu(const wchar_t* libraryPath);
// Removes the class of this library's view; the handler key goes too when
// the other view has no Tervano library registered. S_OK or
// SELFREG_E_CLASS.
HRESULT UnregisterContextMenu();
