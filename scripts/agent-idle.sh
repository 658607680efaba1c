#!/usr/bin/env bash
# The mute agent at rest: runs `kr35ctl agent` for SECONDS (default 60) with
# no adapter (the real backends) and with the simulated adapter and no
# presses, and prints the CPU time it used and its resident memory.
# Usage: scripts/agent-idle.sh [KR35CTL] [SECONDS]
set -euo pipefail
kr35ctl=${1:-build/src/app/console/kr35ctl}
seconds=${2:-60}
ticks=$(getconf CLK_TCK)
measure() {
  local name=$1 pid stat cpu rss
  shift
  "$kr35ctl" "$@" agent --no-notify &
  pid=$!
  sleep "$seconds"
  read -r -a stat <"/proc/$pid/stat"
  cpu=$((stat[13] + stat[14]))  # utime + stime, in clock ticks
  rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  awk -v n="$name" -v c="$cpu" -v t="$ticks" -v s="$seconds" -v r="$rss" 'BEGIN {
    printf "%-28s CPU %.3f s in %d s (%.3f %%), RSS %.1f MiB\n", n, c / t, s, 100 * c / t / s, r / 1024 }'
}
measure "no adapter" &
measure "simulated adapter, no press" --simulate &
wait
