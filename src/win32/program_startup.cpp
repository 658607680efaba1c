// Compiled into every Windows executable (an interface source of kr35_win32):
// before anything else runs, DLLs that the program or a system DLL loads later
// come from System32 only, never from the program's folder or the current
// directory. The static imports are all known DLLs (the import check of
// scripts/check-windows-imports.sh), which Windows takes from its own list.
#include "win32/windows_api.h"

namespace {

// Priority 101, the first the compiler allows for programs: before every
// other static constructor, and so before the system libraries load.
__attribute__((constructor(101))) void RestrictDllSearchToSystem32() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace
