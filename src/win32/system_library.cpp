#include "win32/system_library.h"

#include "win32/utf16.h"
#include "win32/windows_api.h"

namespace kr35 {
namespace {

std::string SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", length);
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) return "error " + std::to_string(error);
  return Utf8FromUtf16(message);
}

}  // namespace

std::string LoadSystemFunctions(const wchar_t* dll, std::span<const SystemFunction> functions) {
  const std::string name = Utf8FromUtf16(dll);
  HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) {
    return "cannot load " + name + " from the system folder: " + SystemErrorText(GetLastError());
  }
  for (const SystemFunction& function : functions) {
    *function.slot = reinterpret_cast<void (*)()>(GetProcAddress(module, function.name));
    if (*function.slot == nullptr) {
      return "the system's " + name + " has no function " + function.name;
    }
  }
  return {};
}

void ExitWithStartupError(const std::string& message) {
  const std::string line = "error: " + message + "\n";
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written = 0;
  if (error == nullptr || error == INVALID_HANDLE_VALUE ||
      !WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    MessageBoxW(nullptr, Utf16FromUtf8(message).c_str(), L"KR35 Hardware Download Utility",
                MB_OK | MB_ICONERROR);
  }
  ExitProcess(1);
}

void LoadSystemFunctionsOrExit(const wchar_t* dll, std::span<const SystemFunction> functions) {
  const std::string error = LoadSystemFunctions(dll, functions);
  if (!error.empty()) ExitWithStartupError(error);
}

}  // namespace kr35
