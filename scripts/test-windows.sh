#!/usr/bin/env bash
# Runs the Windows test executables of a cross-build (scripts/build-windows.sh)
# under Wine, then checks kr35ctl.exe on this machine's devices and on the
# simulated adapter. Ends with the line "N passed, N failed" and exits
# non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:-build-windows}" && pwd)

# The tests find the sources through Wine's drive Z:, which is the host's root.
export KR35_SOURCE_DIR="Z:${root}"
. scripts/wine-env.sh

. scripts/checks.sh
skipped=0
failures=()
timeout_s=${TEST_TIMEOUT:-300}

run_runner() {
  local exe=$1 name log status ok bad
  name=$(basename "$exe" .exe)
  log=$(mktemp)
  timeout "$timeout_s" wine "$exe" --gtest_color=no 2>&1 | tr -d '\r' >"$log"
  status=${PIPESTATUS[0]}
  # The totals, and each failed test with what it printed.
  filter <"$log" | awk '
    /^\[ RUN      \]/ { block = $0; next }
    /^\[  FAILED  \] .*\([0-9]+ ms\)$/ { print block; print; block = ""; next }
    /^\[       OK \]|^\[  SKIPPED \] .*\(/ { block = ""; next }
    /^\[==========\] .* ran\.|^\[  PASSED  \]/ { print; next }
    block != "" { block = block "\n" $0 }'
  ok=$(grep -c '^\[       OK \]' "$log")
  skipped=$((skipped + $(grep -c -E '^\[  SKIPPED \] .*\([0-9]+ ms\)$' "$log")))
  bad=$(grep -c -E '^\[  FAILED  \] .*\([0-9]+ ms\)$' "$log")
  if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
    bad=1
    echo "$name: exited with status $status"
    filter <"$log" | tail -20
  fi
  passed=$((passed + ok))
  failed=$((failed + bad))
  [ "$bad" -ne 0 ] && failures+=("$name")
  rm -f "$log"
}

# One kr35ctl.exe check: expected exit status and a line the output must hold.
check_ctl() {
  local description=$1 expected_status=$2 expected_line=$3 output status
  shift 3
  output=$(timeout "$timeout_s" wine "$build/src/app/console/kr35ctl.exe" "$@" 2>&1)
  status=$?
  output=$(tr -d '\r' <<<"$output" | filter)
  if [ "$status" -eq "$expected_status" ] && grep -qxF "$expected_line" <<<"$output"; then
    echo "[       OK ] kr35ctl.exe $*: $description"
    passed=$((passed + 1))
  else
    echo "[  FAILED  ] kr35ctl.exe $*: $description (status $status, expected $expected_status)"
    echo "$output" | sed 's/^/    /'
    failed=$((failed + 1))
    failures+=("kr35ctl.exe $*")
  fi
}

runners=$(find "$build/tests" -name '*_tests.exe' | sort)
if [ -z "$runners" ]; then
  echo "No test executables in $build/tests: run scripts/build-windows.sh first" >&2
  exit 2
fi
for exe in $runners; do
  echo "== $(basename "$exe")"
  run_runner "$exe"
done

# One check: a description and a command that must succeed (scripts/checks.sh).
check_that() { local before=$failed; check "$@"; [ "$failed" -eq "$before" ] || failures+=("$1"); }

echo "== the programs' DLLs"
check_that "the shipped programs import known DLLs only" scripts/check-windows-imports.sh "$build"
# A hid.dll and a winmm.dll planted beside kr35ctl.exe (each leaves a marker
# when loaded, named as the loader spells the DLL's path), with Wine told to
# prefer a DLL found on disk to its own, as Windows does: kr35ctl.exe must
# load neither, whatever it does; the control program, which imports hid.dll
# statically, must load the planted one, or the check could not see a planted
# DLL at all.
planted=$(mktemp -d)
cp "$build/src/app/console/kr35ctl.exe" "$build/tests/hid/win32/planted_dll/kr35-planted-dll-control.exe" \
  "$planted/"
cp "$build/tests/hid/win32/planted_dll/hid.dll" "$planted/hid.dll"
cp "$build/tests/hid/win32/planted_dll/hid.dll" "$planted/winmm.dll"
in_planted() { (cd "$planted" && WINEDLLOVERRIDES="$WINEDLLOVERRIDES;hid,winmm=n,b" \
  timeout "$timeout_s" wine "$@" >/dev/null 2>&1); }
markers() { (cd "$planted" && ls -- *.loaded 2>/dev/null); }
planted_untouched() { in_planted "$@"; [ -z "$(markers)" ] || { echo "loaded: $(markers)"; false; }; }
control_loads_planted() { in_planted ./kr35-planted-dll-control.exe; markers | grep -qix hid.dll.loaded; }
check_that "kr35ctl.exe versions loads no planted DLL" planted_untouched ./kr35ctl.exe versions
check_that "kr35ctl.exe --simulate versions loads no planted DLL" \
  planted_untouched ./kr35ctl.exe --simulate versions
check_that "a static import of hid.dll loads the planted one (the check sees planting)" \
  control_loads_planted
rm -rf "$planted"

echo "== kr35ctl.exe"
check_ctl "no adapter in this machine" 3 "version: Plug in KR35 hardware" versions
check_ctl "the simulated adapter" 0 "version: USB 0100, DSP 0100" --simulate versions
# Names outside ASCII: the product string shows as the scenario gives it, and
# the headset's mixer is found by its name after a non-ASCII word.
names=Z:$root/tests/hid/win32/scenarios/non_ascii_names.json
check_ctl "a non-ASCII product name shows as given" 0 \
  "adapter: sim:adapter0  3c1f:5e35  Société Simulée  KR35 Kopfhörer-Adapter Ω  serial -  port 0" \
  --simulate="$names" list
check_ctl "a non-ASCII mixer name is matched" 0 "mute: read 0, wrote 1" \
  --simulate="$names" monitor --duration 1
# Six simulated adapters updated at once: two current, three failing each in
# its own way, one updated (as kr35ctl_update_tests checks on Linux).
check_ctl "update --all on six adapters" 1 "summary: 1 updated, 2 current, 2 failed, 1 refused" \
  --simulate="Z:$root/tests/app/console/six_adapters.json" --sim-response-wait=200 \
  update --all --yes --jobs=6
# A session recorded on the simulated adapter replays with the same outcome.
session=$(mktemp -d)
check_ctl "records a download" 0 "verify: installed USB 0104, DSP 0107 as built in" \
  --simulate --record="Z:$session/r.jsonl" download --yes
check_ctl "replays the recorded download" 0 "verify: installed USB 0104, DSP 0107 as built in" \
  --replay="Z:$session/r.jsonl" --replay-speed=max download --yes
# Without descriptor bytes, as hid.dll gives none, the replay works from the
# recorded capabilities, here and on Linux, with the same lines as recorded;
# and a recording made on Linux replays here the same.
no_bytes() { sed -E 's/"bytes":"[0-9a-f]*"/"bytes":null/' "$1" >"$2"; }
no_bytes "$session/r.jsonl" "$session/caps.jsonl"
check_ctl "replays a recording without descriptor bytes" 0 \
  "verify: installed USB 0104, DSP 0107 as built in" \
  --replay="Z:$session/caps.jsonl" --replay-speed=max download --yes
linux_ctl=${KR35_LINUX_BUILD:-$root/build}/src/app/console/kr35ctl
if [ -x "$linux_ctl" ]; then
  wine_lines() { timeout "$timeout_s" wine "$build/src/app/console/kr35ctl.exe" "$@" 2>&1 | tr -d '\r' | filter; }
  linux_lines() { timeout "$timeout_s" "$linux_ctl" "$@" 2>&1; }
  check_same() {
    local description=$1 recorded=$2 replayed=$3
    if [ -n "$recorded" ] && [ "$recorded" = "$replayed" ]; then
      echo "[       OK ] $description"
      passed=$((passed + 1))
    else
      echo "[  FAILED  ] $description"
      diff <(echo "$recorded") <(echo "$replayed") | sed 's/^/    /'
      failed=$((failed + 1))
      failures+=("$description")
    fi
  }
  for command in list "monitor --duration 1"; do
    # shellcheck disable=SC2086 # the command's words
    check_same "non-ASCII names: kr35ctl $command is the same on Linux" \
      "$(wine_lines --simulate="$names" $command)" \
      "$(linux_lines --simulate="${names#Z:}" $command)"
  done
  recorded=$(wine_lines --simulate --record="Z:$session/w.jsonl" download --yes)
  no_bytes "$session/w.jsonl" "$session/w-caps.jsonl"
  check_same "a Windows recording without descriptor bytes replays on Linux" "$recorded" \
    "$(linux_lines --replay="$session/w-caps.jsonl" --replay-speed=max download --yes)"
  recorded=$(linux_lines --simulate --record="$session/l.jsonl" download --yes)
  check_same "a Linux recording replays under Wine" "$recorded" \
    "$(wine_lines --replay="Z:$session/l.jsonl" --replay-speed=max download --yes)"
else
  echo "(no Linux kr35ctl at $linux_ctl, made by 'make build': the cross-platform replays are skipped)"
fi
# Two programs on one simulated adapter (one state file) under Wine: while the
# first downloads, the second is refused before its first frame, and the
# first completes.
slow="$session/slow.json"
echo '{"hid": {"latency_ms": 5}}' >"$slow"
shared=(--simulate="Z:$slow" --sim-state="Z:$session/flash.json")
timeout "$timeout_s" wine "$build/src/app/console/kr35ctl.exe" "${shared[@]}" download --yes \
  >"$session/first.out" 2>&1 &
first=$!
for _ in $(seq 300); do
  grep -q '^message: ' "$session/first.out" 2>/dev/null && break
  sleep 0.1
done
second=$(timeout "$timeout_s" wine "$build/src/app/console/kr35ctl.exe" "${shared[@]}" --json \
  download --yes 2>&1)
second_status=$?
second=$(tr -d '\r' <<<"$second")
wait "$first"
first_status=$?
if [ "$second_status" -eq 1 ] && [ "$first_status" -eq 0 ] &&
  grep -q '"outcome":"refused".*the adapter is busy: another program is using it' <<<"$second"; then
  echo "[       OK ] two kr35ctl.exe on one adapter: the second is refused, the first completes"
  passed=$((passed + 1))
else
  echo "[  FAILED  ] two kr35ctl.exe on one adapter (second $second_status, first $first_status)"
  { echo "$second"; tr -d '\r' <"$session/first.out"; } | sed 's/^/    /'
  failed=$((failed + 1))
  failures+=("two kr35ctl.exe on one adapter")
fi

# kr35-agent.exe on the simulated adapter: it mirrors each press with no
# dialog open; while kr35ctl.exe monitor has the same adapter (one state
# file) it steps back, and it takes over once the monitor has ended.
agent_exe=$build/src/app/win32/kr35-agent.exe
mute_at() { local events="" t
  for t in "$@"; do
    events="$events${events:+,}{\"at_ms\": $t, \"button\": {\"code\": \"0x00\", \"usages\": [\"mute\"]}}"
  done
  echo "{\"hid\": {\"events\": [$events]}}"; }
writes() { grep -c '"mixer":"write"' "$1" 2>/dev/null || true; }
mute_at 300 600 >"$session/presses.json"
timeout "$timeout_s" wine "$agent_exe" --simulate="Z:$session/presses.json" \
  --sim-trace="Z:$session/agent.trace" --no-notify --duration=2 >/dev/null 2>&1
check_that "kr35-agent.exe mirrors both presses on the simulated adapter" \
  test "$(writes "$session/agent.trace")" = 2
mute_at 1000 >"$session/monitor.json"
mute_at 500 6000 >"$session/agent.json"
timeout "$timeout_s" wine "$build/src/app/console/kr35ctl.exe" --simulate="Z:$session/monitor.json" \
  --sim-state="Z:$session/mirror.json" monitor --duration 4 >"$session/monitor.out" 2>&1 &
monitor=$!
for _ in $(seq 300); do
  grep -q '^version: ' "$session/monitor.out" 2>/dev/null && break
  sleep 0.1
done
timeout "$timeout_s" wine "$agent_exe" --simulate="Z:$session/agent.json" \
  --sim-state="Z:$session/mirror.json" --sim-trace="Z:$session/stepped.trace" --no-notify \
  --duration=8 >/dev/null 2>&1
wait "$monitor"
check_that "kr35-agent.exe steps back while kr35ctl.exe monitor mirrors, then takes over" \
  test "$(grep -c '^mute: ' "$session/monitor.out")/$(writes "$session/stepped.trace")" = 1/1

# The download history under Wine: a download with --history leaves its
# begin and end (written with _wopen and _commit), which history reads back.
timeout "$timeout_s" wine "$build/src/app/console/kr35ctl.exe" --simulate \
  --history="Z:$session/history.jsonl" download --yes >/dev/null 2>&1
history=$(timeout "$timeout_s" wine "$build/src/app/console/kr35ctl.exe" --simulate \
  --history="Z:$session/history.jsonl" history 2>&1 | tr -d '\r')
check_that "kr35ctl.exe --history: the download is recorded and read back" \
  grep -q '^update: .*  done  ' <<<"$history"
rm -rf "$session"

wineserver -k >/dev/null 2>&1 || true
[ ${#failures[@]} -gt 0 ] && printf 'Failed: %s\n' "${failures[@]}"
[ "$skipped" -gt 0 ] && echo "($skipped skipped: they cannot work under Wine)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
