#!/usr/bin/env bash
# Renders the standard and the FULL dialog to docs/images/*.png without a
# display (Qt's offscreen platform). Usage: scripts/render-dialogs.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja
fi
cmake --build "$build" --target kr35-render-dialogs -j 2
mkdir -p "$root/docs/images"
QT_QPA_PLATFORM=offscreen "$build/src/app/qt/kr35-render-dialogs" "$root/docs/images"
echo "Wrote $root/docs/images/standard-dialog.png and full-dialog.png"
