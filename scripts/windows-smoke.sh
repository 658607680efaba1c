#!/usr/bin/env bash
# Smoke run of kr35-download.exe from a cross-build (scripts/build-windows.sh)
# under Wine on a virtual X display: starts the program on this machine's
# devices (no adapter), waits until the standard dialog shows "Plug in KR35
# hardware", saves a screenshot of it, and closes the program through its
# close box; then the same with --simulate, where the dialog must show the
# simulated adapter's versions. Exits non-zero when a dialog does not appear
# as expected or does not close.
#
#   scripts/windows-smoke.sh [BUILD_DIR] [PNG]
#   (defaults: build-windows, docs/images/windows-standard-dialog.png)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build-windows}" && pwd)
png=${2:-docs/images/windows-standard-dialog.png}
timeout_s=${SMOKE_TIMEOUT:-60}

program=$build/src/app/win32/kr35-download.exe
probe=$build/tests/app/win32/kr35-dialog-probe.exe
title="KR35 Hardware Download Utility"
prompt="Plug in KR35 hardware"
version_line=1001

for exe in "$program" "$probe"; do
  if [ ! -f "$exe" ]; then
    echo "$exe not found: run scripts/build-windows.sh first" >&2
    exit 2
  fi
done
scripts/install-deps.sh wine64 xvfb xauth imagemagick x11-utils >/dev/null

# A prefix of its own: the tests' prefix has no graphics driver.
export WINEPREFIX=$build/wineprefix-smoke
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# A free display number.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
program_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"

# Polls COMMAND until it succeeds, for at most $timeout_s seconds.
wait_for() {
  local deadline=$((SECONDS + timeout_s))
  until "$@" >/dev/null 2>&1; do
    if [ "$SECONDS" -ge "$deadline" ]; then return 1; fi
    sleep 0.5
  done
}

wait_for xwininfo -root || { echo "Xvfb did not start on :$display" >&2; exit 1; }
# Set up once: no audio driver, and every program of the prefix on one Wine
# virtual desktop, where Wine draws the frames and captions itself (the
# virtual display has no window manager) and the probe sees the program's
# windows. wineserver -w lets the registry reach the disk.
if ! grep -q 'Wine\\\\Explorer\\\\Desktops' "$WINEPREFIX/user.reg" 2>/dev/null; then
  echo "Setting up the Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  wineserver -w
fi
# The caption buttons' glyphs come from Marlett, which this Wine finds only
# in the prefix's font folder.
fonts=$WINEPREFIX/drive_c/windows/Fonts
for font in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
  if [ -f "$font" ] && [ ! -f "$fonts/marlett.ttf" ]; then cp "$font" "$fonts/"; fi
done

# Runs kr35-download.exe with ARGS until its version line shows EXPECTED,
# saves a screenshot of the dialog to PNG (when given), and closes it.
run_dialog() {
  local expected=$1 shot=$2 x y width height margin=8 deadline
  shift 2
  echo "Starting kr35-download.exe $* on :$display"
  wine "$program" "$@" >/dev/null 2>&1 &
  program_pid=$!
  if ! wait_for wine "$probe" text "$title" "$version_line" "$expected"; then
    echo "FAILED: the dialog did not show \"$expected\" within ${timeout_s}s; it shows:" >&2
    wine "$probe" text "$title" "$version_line" "$expected" 2>/dev/null | tr -d '\r' >&2 || true
    exit 1
  fi
  read -r x y width height < <(wine "$probe" text "$title" "$version_line" "$expected" \
    2>/dev/null | tr -d '\r' | tail -1)
  echo "The dialog shows \"$expected\" at ${width}x${height}+${x}+${y}"

  if [ -n "$shot" ]; then
    # Let the first paint settle, then take the dialog with a small margin,
    # without time stamps, so an unchanged dialog gives an unchanged file.
    sleep 1
    mkdir -p "$(dirname "$shot")"
    import -window root \
      -crop "$((width + 2 * margin))x$((height + 2 * margin))+$((x - margin))+$((y - margin))" \
      +repage -strip -define png:exclude-chunks=date,time "$shot"
    echo "Saved $shot"
  fi

  wine "$probe" close "$title" >/dev/null 2>&1
  deadline=$((SECONDS + timeout_s))
  while kill -0 "$program_pid" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "FAILED: kr35-download.exe did not end after its close box" >&2
      exit 1
    fi
    sleep 0.5
  done
  wait "$program_pid" || true
  program_pid=
  echo "kr35-download.exe closed"
}

# No adapter in this machine: the plug-in prompt, and the screenshot.
run_dialog "$prompt" "$png"
# The simulated adapter: its installed versions.
run_dialog "USB 0100, DSP 0100" "" --simulate
echo "Smoke run passed"
