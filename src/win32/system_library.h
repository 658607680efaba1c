// Functions of a system DLL, loaded at run time from the system folder only.
// A DLL that is not one of the system's known DLLs is never a static import:
// Windows would look for it in the program's folder first, where anyone who
// can drop a file (a browser's download folder) could plant their own.
#pragma once

#include <span>
#include <string>

namespace kr35 {

// One function to resolve: its exported name and the pointer that receives it.
struct SystemFunction {
  const char* name;
  void (**slot)();
};

// Loads `dll` from System32 (never from the program's folder or the current
// directory) and resolves every function of `functions`. Returns an empty
// string on success, otherwise the reason in words: the DLL that did not
// load, or the first function it does not export. The DLL stays loaded for
// the rest of the run.
std::string LoadSystemFunctions(const wchar_t* dll, std::span<const SystemFunction> functions);

// Fills `slot` of a typed function pointer: the pointer passes through the
// generic function pointer type, the one conversion GCC does not warn about.
template <typename Function>
SystemFunction Resolve(const char* name, Function*& slot) {
  return {name, reinterpret_cast<void (**)()>(&slot)};
}

// A system library that cannot be used ends the program before it starts: the
// message goes to stderr when there is one, otherwise to a message box; exit
// status 1.
[[noreturn]] void ExitWithStartupError(const std::string& message);

// Resolves `functions` of `dll` or ends the program with the reason.
void LoadSystemFunctionsOrExit(const wchar_t* dll, std::span<const SystemFunction> functions);

}  // namespace kr35
