#!/bin/sh
# Runs a test program on a fresh Xvfb server with Qt's xcb platform, or
# skips it (exit 77) on a machine without xvfb-run.
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "skipped: xvfb-run is missing (scripts/install-deps.sh installs xvfb)"
  exit 77
fi
QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
