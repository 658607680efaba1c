#!/usr/bin/env bash
# Smoke run of kr35-download.exe from a cross-build (scripts/build-windows.sh)
# under Wine on a virtual X display: starts the program on this machine's
# devices (no adapter), waits until the standard dialog shows "Plug in KR35
# hardware", and closes the program through its
# close box; then the same with --simulate, where the dialog must show the
# simulated adapter's versions. Then both dialogs at 96, 120, 144 and 192 DPI
# (Wine's LogPixels), a screenshot of each, and the size of every text against
# the size its control has (kr35-dialog-probe layout): every control must be
# sized by the dialog font's base units, and a text that fits at 96 DPI must
# fit at every scale. Exits non-zero when a dialog does not appear as
# expected, does not close, or one of those fails.
#
#   scripts/windows-smoke.sh [BUILD_DIR] [IMAGES_DIR]
#   (defaults: build-windows, docs/images; the pictures are
#   windows-{standard,full}-dialog-NNNdpi.png there)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build-windows}" && pwd)
images=${2:-docs/images}
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
# Room for the FULL dialog at 192 DPI (about 1200 × 700 pixels).
Xvfb ":$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
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
  wineserver -w
fi
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x1200 /f >/dev/null 2>&1
# The caption buttons' glyphs come from Marlett, which this Wine finds only
# in the prefix's font folder.
fonts=$WINEPREFIX/drive_c/windows/Fonts
for font in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
  if [ -f "$font" ] && [ ! -f "$fonts/marlett.ttf" ]; then cp "$font" "$fonts/"; fi
done

# Sets Wine's DPI (LogPixels) for the programs started after it: the Wine
# session ends, so that the next one starts with it.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  timeout 30 wineserver -w || wineserver -k
}

# Runs kr35-download.exe with ARGS until the dialog TITLE (template
# TEMPLATE_ID) shows EXPECTED in its version line, saves a screenshot of the
# dialog to PNG (when given), keeps the probe's layout report in $layout, and
# closes it.
run_dialog() {
  local title=$1 template=$2 expected=$3 shot=$4 x y width height margin=8 deadline
  shift 4
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
  layout=$(wine "$probe" layout "$title" "Z:$program" "$template" 2>/dev/null | tr -d '\r')
  sed 's/^/  /' <<<"$layout"

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

# The controls whose text does not fit, from a layout report.
clipped() { sed -n 's/^control \(-\?[0-9]*\):.*CLIPPED.*/\1/p' <<<"$1" | sort | paste -sd' '; }

set_dpi 96
# No adapter in this machine: the plug-in prompt.
run_dialog "$title" 129 "$prompt" ""
# The simulated adapter: its installed versions.
run_dialog "$title" 129 "USB 0100, DSP 0100" "" --simulate

# Both dialogs at each scale Windows offers up to 200 %.
status=0
for dialog in standard full; do
  if [ "$dialog" = standard ]; then
    name=$title template=129 args=()
  else
    name="$title (FULL)" template=136 args=(FULL)
  fi
  for dpi in 96 120 144 192; do
    set_dpi "$dpi"
    echo "== the $dialog dialog at $dpi DPI"
    run_dialog "$name" "$template" "$prompt" "$images/windows-$dialog-dialog-${dpi}dpi.png" \
      "${args[@]}"
    if grep -q "NOT as the font's base units give" <<<"$layout"; then
      echo "FAILED: at $dpi DPI a control of the $dialog dialog is not sized by its font" >&2
      status=1
    fi
    if [ "$dpi" -eq 96 ]; then
      clipped_at_96=$(clipped "$layout")
    elif [ -n "$(comm -23 <(clipped "$layout" | tr ' ' '\n') <(tr ' ' '\n' <<<"$clipped_at_96"))" ]; then
      echo "FAILED: at $dpi DPI the $dialog dialog clips control(s) $(clipped "$layout"), at 96 DPI ${clipped_at_96:-none}" >&2
      status=1
    fi
  done
  [ -n "$clipped_at_96" ] &&
    echo "At 96 DPI the $dialog dialog's template is too small for the text of control(s) $clipped_at_96 in its font (docs/windows.md, Scaling)"
done
set_dpi 96
[ "$status" -eq 0 ] && echo "Smoke run passed"
exit $status
