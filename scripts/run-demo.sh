#!/usr/bin/env bash
# What `make run` starts.
set -euo pipefail
build=${1:-build}
exec "$build/src/app/console/kr35ctl" image builtin
