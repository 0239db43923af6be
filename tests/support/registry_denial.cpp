#include "support/registry_denial.h"

#ifdef _WIN32
#include <cstring>

namespace {

// The hooks are plain functions the patched imports call, so what they
// need lives at file scope: the real entry points and the refusal count.
struct Originals {
  decltype(&RegCreateKeyExA) createKeyEx = nullptr;
  decltype(&RegOpenKeyExA) openKeyEx = nullptr;
  decltype(&RegDeleteKeyA) deleteKey = nullptr;
  decltype(&RegCreateKeyExW) createKeyExW = nullptr;
  decltype(&RegOpenKeyExW) openKeyExW = nullptr;
  decltype(&RegDeleteKeyW) deleteKeyW = nullptr;
  int refusals = 0;
};
Originals g_real;

constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

bool Refused(HKEY root, REGSAM access) {
  if (root != HKEY_LOCAL_MACHINE || !(access & kWriteRights)) return false;
  ++g_real.refusals;
  return true;
}

LONG WINAPI CreateKeyExHook(HKEY root, LPCSTR path, DWORD reserved, LPSTR cls, DWORD options,
                            REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY key,
                            LPDWORD disposition) {
  if (Refused(root, access)) return ERROR_ACCESS_DENIED;
  return g_real.createKeyEx(root, path, reserved, cls, options, access,
                            const_cast<SECURITY_ATTRIBUTES*>(security), key, disposition);
}

LONG WINAPI OpenKeyExHook(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
  if (Refused(root, access)) return ERROR_ACCESS_DENIED;
  return g_real.openKeyEx(root, path, options, access, key);
}

LONG WINAPI DeleteKeyHook(HKEY root, LPCSTR path) {
  if (Refused(root, DELETE)) return ERROR_ACCESS_DENIED;
  return g_real.deleteKey(root, path);
}

LONG WINAPI CreateKeyExWHook(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR cls, DWORD options,
                             REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY key,
                             LPDWORD disposition) {
  if (Refused(root, access)) return ERROR_ACCESS_DENIED;
  return g_real.createKeyExW(root, path, reserved, cls, options, access,
                             const_cast<SECURITY_ATTRIBUTES*>(security), key, disposition);
}

LONG WINAPI OpenKeyExWHook(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
  if (Refused(root, access)) return ERROR_ACCESS_DENIED;
  return g_real.openKeyExW(root, path, options, access, key);
}

LONG WINAPI DeleteKeyWHook(HKEY root, LPCWSTR path) {
  if (Refused(root, DELETE)) return ERROR_ACCESS_DENIED;
  return g_real.deleteKeyW(root, path);
}

// Replaces the import slot of every function named `name` in module;
// returns how many were replaced.
int PatchImports(HMODULE module, const char* name, void* replacement, void** original) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!imports.VirtualAddress) return 0;
  int count = 0;
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll) {
    if (!dll->OriginalFirstThunk) continue;  // no names to go by
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD old = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) continue;
      if (original) *original = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      ++count;
    }
  }
  return count;
}

template <typename F>
void* Address(F f) {
  return reinterpret_cast<void*>(f);
}

}  // namespace

MachineKeyWriteDenial::MachineKeyWriteDenial(HMODULE module) : module_(module) {
  g_real.createKeyEx = &RegCreateKeyExA;
  g_real.openKeyEx = &RegOpenKeyExA;
  g_real.deleteKey = &RegDeleteKeyA;
  g_real.createKeyExW = &RegCreateKeyExW;
  g_real.openKeyExW = &RegOpenKeyExW;
  g_real.deleteKeyW = &RegDeleteKeyW;
  g_real.refusals = 0;
  if (!module_) return;
  patched_ += PatchImports(module_, "RegCreateKeyExA", Address(&CreateKeyExHook), nullptr);
  patched_ += PatchImports(module_, "RegOpenKeyExA", Address(&OpenKeyExHook), nullptr);
  patched_ += PatchImports(module_, "RegDeleteKeyA", Address(&DeleteKeyHook), nullptr);
  patched_ += PatchImports(module_, "RegCreateKeyExW", Address(&CreateKeyExWHook), nullptr);
  patched_ += PatchImports(module_, "RegOpenKeyExW", Address(&OpenKeyExWHook), nullptr);
  patched_ += PatchImports(module_, "RegDeleteKeyW", Address(&DeleteKeyWHook), nullptr);
}

MachineKeyWriteDenial::~MachineKeyWriteDenial() {
  if (!module_ || !patched_) return;
  PatchImports(module_, "RegCreateKeyExA", Address(g_real.createKeyEx), nullptr);
  PatchImports(module_, "RegOpenKeyExA", Address(g_real.openKeyEx), nullptr);
  PatchImports(module_, "RegDeleteKeyA", Address(g_real.deleteKey), nullptr);
  PatchImports(module_, "RegCreateKeyExW", Address(g_real.createKeyExW), nullptr);
  PatchImports(module_, "RegOpenKeyExW", Address(g_real.openKeyExW), nullptr);
  PatchImports(module_, "RegDeleteKeyW", Address(g_real.deleteKeyW), nullptr);
}

int MachineKeyWriteDenial::refusals() { return g_real.refusals; }
#endif
