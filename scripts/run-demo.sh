#!/usr/bin/env bash
# What `make run` starts: the dialog on the simulated adapter when there is a
# display, otherwise kr35ctl downloading the built-in images into it.
set -euo pipefail
build=${1:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/src/app/qt/kr35-download" ]; then
  exec "$build/src/app/qt/kr35-download" --simulate
fi
echo "No display: running kr35ctl on the simulated adapter instead of the dialog." >&2
"$build/src/app/console/kr35ctl" image builtin
exec "$build/src/app/console/kr35ctl" --simulate download --yes
