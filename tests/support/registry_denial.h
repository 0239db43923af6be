// A standard user's registry rights for one module under Wine, which grants
// everyone full access: the module's imported registry calls are redirected
// so that opening or creating a key under HKEY_LOCAL_MACHINE with any write
// right, and deleting a key there, are refused with ERROR_ACCESS_DENIED.
// Reads go through. Windows only; one denial at a time.
#pragma once
#ifdef _WIN32
#include <windows.h>

class MachineKeyWriteDenial {
 public:
  explicit MachineKeyWriteDenial(HMODULE module);
  ~MachineKeyWriteDenial();  // puts the imports back
  MachineKeyWriteDenial(const MachineKeyWriteDenial&) = delete;
  MachineKeyWriteDenial& operator=(const MachineKeyWriteDenial&) = delete;
  // How many import slots were redirected (0: the module imports none).
  int patched() const { return patched_; }
  // How many calls were refused so far.
  static int refusals();

 private:
  HMODULE module_;
  int patched_ = 0;
};
#endif
