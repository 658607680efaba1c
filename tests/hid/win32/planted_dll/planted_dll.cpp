// A DLL planted in a program's folder under a system DLL's name (hid.dll,
// winmm.dll): whenever a process loads it, it leaves a marker file beside
// itself, its own path with ".loaded" appended. It exports HidD_GetHidGuid,
// so a program that imports it from hid.dll loads it and starts.
#include "win32/windows_api.h"

extern "C" __declspec(dllexport) void __stdcall HidD_GetHidGuid(GUID* guid) {
  *guid = GUID{};
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcatW(path, L".loaded");
  HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return TRUE;
}
