#!/usr/bin/env bash
# Checks the import table of every shipped Windows program of a cross-build
# (build-windows/, or $1): each DLL it imports must be one of the system's
# known DLLs, which Windows loads from its own list, never from the program's
# folder. Any other DLL (hid.dll, winmm.dll) must be loaded at run time from
# System32 instead (src/win32/system_library.h). Prints one line per program;
# exit status 1 when one imports a DLL that is not a known DLL.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build-windows}" && pwd)
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}

# The KnownDLLs of Windows 10 and 11 (HKLM\SYSTEM\CurrentControlSet\Control\
# Session Manager\KnownDLLs) that a program may import, and ntdll.dll, which
# the system maps into every process before anything else.
known="advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32
  kernel32 msctf msvcrt normaliz nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi
  shcore shell32 shlwapi user32 wldap32 ws2_32"

status=0
for exe in "$build/src/app/console/kr35ctl.exe" "$build/src/app/win32/kr35-download.exe" \
  "$build/src/app/win32/kr35-agent.exe"; do
  [ -f "$exe" ] || { echo "$exe is missing: run scripts/build-windows.sh first" >&2; exit 2; }
  imports=$("$objdump" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
  unknown=()
  for dll in $imports; do
    grep -qw "${dll%.dll}" <<<"$known" || unknown+=("$dll")
  done
  if [ ${#unknown[@]} -eq 0 ]; then
    echo "$(basename "$exe") imports only known DLLs: $(echo $imports)"
  else
    echo "$(basename "$exe") imports DLLs that are not known DLLs: ${unknown[*]}"
    status=1
  fi
done
exit $status
