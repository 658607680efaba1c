#!/bin/sh
# Each program's folder (the Qt and the Win32 dialog program, kr35ctl, the
# uhid simulator) builds on the shared layers only: no file outside a
# program's folder includes a header from it, so no include path leads from
# one program into another. Prints every offending line; exit status 1 then.
set -eu
root=${1:-$(dirname "$0")/..}
status=0
for program in app/qt app/win32 app/console sim/uhid; do
  if grep -rn --include='*.h' --include='*.cpp' "#include \"$program/" "$root/src" |
      grep -v "^$root/src/$program/"; then
    status=1
  fi
done
[ $status -eq 0 ] || echo "a program's folder is included from outside it (lines above)" >&2
exit $status
