#!/bin/sh
# kr35ctl agent on the simulated adapter, run as the user runs it:
# - with kr35ctl monitor or kr35-download (Qt, offscreen) on the same adapter
#   each press toggles the recording mute once: the foreground program
#   mirrors it, the agent steps back and takes over when that program ends;
# - a download running when the agent starts, and when the agent's adapter
#   restarts, gets no frame from the agent and completes;
# - on a private session bus with a small notification service: one
#   new-firmware notification for an old adapter (across a replug), none for
#   a current one, none again after the user dismissed it; its action opens
#   the download dialog.
# Usage: kr35ctl_agent_test.sh KR35CTL NOTIFICATION_SERVER [KR35_DOWNLOAD]
set -u
KR35CTL=$1
SERVER=$2
DOWNLOAD=${3:-}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
count() { grep -c "$1" "$2" 2>/dev/null || true; }
# The t_ms of every line of a trace holding $1.
times_of() { grep "$1" "$2" | sed 's/^{"t_ms": \([0-9.]*\),.*/\1/'; }
agent() { "$KR35CTL" "$@"; }

if [ "${4:-}" != "--on-bus" ]; then
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' EXIT
  export KR35_TEST_DIR="$dir"
  cat >"$dir/agent.json" <<'JSON'
{"hid": {"events": [
  {"at_ms": 600, "button": {"code": "0x00", "usages": ["mute"]}},
  {"at_ms": 3200, "button": {"code": "0x00", "usages": ["mute"]}}]}}
JSON
  cat >"$dir/foreground.json" <<'JSON'
{"hid": {"events": [
  {"at_ms": 400, "button": {"code": "0x00", "usages": ["mute"]}},
  {"at_ms": 800, "button": {"code": "0x00", "usages": ["mute"]}}]}}
JSON
  for foreground in monitor download; do
    [ "$foreground" = download ] && [ -z "$DOWNLOAD" ] && continue
    sim="--simulate=$dir/foreground.json --sim-state=$dir/$foreground.state"
    agent --simulate="$dir/agent.json" --sim-state="$dir/$foreground.state" \
      --sim-trace="$dir/$foreground.agent.trace" agent --no-notify --duration=4 \
      2>"$dir/$foreground.agent.err" &
    agent_pid=$!
    sleep 0.2
    if [ "$foreground" = monitor ]; then
      "$KR35CTL" $sim --sim-trace="$dir/monitor.trace" monitor --duration=1.6 >/dev/null
    else
      QT_QPA_PLATFORM=offscreen "$DOWNLOAD" $sim --sim-trace="$dir/download.trace" \
        >/dev/null 2>&1 &
      pid=$!
      sleep 1.6
      kill "$pid"
      wait "$pid"
    fi
    wait "$agent_pid" || fail "$foreground: the agent failed"
    [ "$(count '"mixer":"write"' "$dir/$foreground.trace")" = 2 ] ||
      fail "$foreground did not mirror both of its presses"
    [ "$(count '"mixer":"write"' "$dir/$foreground.agent.trace")" = 1 ] ||
      fail "$foreground: the agent mirrored $(count '"mixer":"write"' \
        "$dir/$foreground.agent.trace") presses, not only the one after $foreground ended"
    first=$(times_of '"mixer":"write"' "$dir/$foreground.agent.trace" | head -1)
    [ "${first%%.*}" -ge 3000 ] || fail "$foreground: the agent mirrored at $first ms"
    [ ! -s "$dir/$foreground.agent.err" ] || fail "the agent said: $(cat "$dir/$foreground.agent.err")"
  done
  exec dbus-run-session -- sh "$0" "$KR35CTL" "$SERVER" "$DOWNLOAD" --on-bus
fi

dir=$KR35_TEST_DIR
export XDG_STATE_HOME="$dir/state"
start_server() {
  rm -f "$1.ready"
  "$SERVER" "$@" &
  server=$!
  tries=0
  while [ ! -e "$1.ready" ]; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || fail "the notification service did not start"
    sleep 0.05
  done
}
stop_server() {
  kill "$server"
  wait "$server"
}

cat >"$dir/replug.json" <<'JSON'
{"hid": {"events": [{"at_ms": 300, "unplug": {"replug_after_ms": 100}}]}}
JSON
cat >"$dir/current.json" <<'JSON'
{"versions": {"usb": "0x0104", "dsp": "0x0107"}}
JSON
expected="New firmware is available|Firmware USB 0104, DSP 0107 is available for your KR35 adapter (installed: USB 0100, DSP 0100)"

# An old adapter, replugged: one notification.
start_server "$dir/old.log"
agent --simulate="$dir/replug.json" agent --duration=1 2>"$dir/old.err" || fail "agent failed"
stop_server
[ "$(cat "$dir/old.log")" = "$expected" ] || fail "old adapter: $(cat "$dir/old.log")"
[ ! -s "$dir/old.err" ] || fail "the agent said: $(cat "$dir/old.err")"

# A current adapter: none.
start_server "$dir/current.log"
agent --simulate="$dir/current.json" agent --duration=0.5 || fail "agent failed"
stop_server
[ ! -s "$dir/current.log" ] || fail "current adapter: $(cat "$dir/current.log")"

# Dismissed by the user: none again, in the next run.
start_server "$dir/dismissed.log" dismiss
agent --simulate agent --duration=0.5 || fail "agent failed"
stop_server
[ "$(cat "$dir/dismissed.log")" = "$expected" ] || fail "not shown before the dismissal"
start_server "$dir/after.log"
agent --simulate agent --duration=0.5 || fail "agent failed"
stop_server
[ ! -s "$dir/after.log" ] || fail "shown again after a dismissal: $(cat "$dir/after.log")"

# The notification's action opens the download dialog, with no signal
# blocked (kr35ctl blocks SIGINT and SIGTERM in its own threads).
mkdir -p "$dir/bin"
printf '#!/bin/sh\ngrep SigBlk /proc/self/status >"%s"\n' "$dir/opened" >"$dir/bin/kr35-download"
chmod +x "$dir/bin/kr35-download"
start_server "$dir/open.log" open
XDG_STATE_HOME="$dir/state-open" PATH="$dir/bin:$PATH" agent --simulate agent --duration=1 ||
  fail "agent failed"
stop_server
grep -q '^SigBlk:[[:space:]]*0*$' "$dir/opened" ||
  fail "the action did not open the download dialog with no signal blocked: $(cat "$dir/opened" 2>&1)"

# A download under way: the agent that started before it asked for the
# versions before the download began and nothing after its adapter
# restarted; the agent that started during it sent nothing.
rm -rf "$XDG_STATE_HOME"
start_server "$dir/download.log"
cat >"$dir/restart.json" <<'JSON'
{"hid": {"events": [{"at_ms": 1500, "unplug": {"replug_after_ms": 200}}]}}
JSON
agent --simulate="$dir/restart.json" --sim-state="$dir/flash.state" \
  --sim-trace="$dir/before.trace" agent --duration=3 &
before=$!
sleep 0.5
"$KR35CTL" --json --simulate --sim-state="$dir/flash.state" download --yes \
  >"$dir/download.out" 2>"$dir/download.err" &
download=$!
sleep 0.5
agent --simulate --sim-state="$dir/flash.state" --sim-trace="$dir/during.trace" \
  agent --duration=1.5 || fail "agent failed"
wait "$download" || fail "the download failed: $(cat "$dir/download.err")"
wait "$before" || fail "agent failed"
stop_server
grep -q '"outcome":"done"' "$dir/download.out" || fail "the download did not complete"
[ "$(count '"rx"' "$dir/during.trace")" = 0 ] || fail "the agent started during the download sent frames"
[ "$(count '"rx"' "$dir/before.trace")" -gt 0 ] || fail "the agent did not ask for the versions"
for t in $(times_of '"rx"' "$dir/before.trace"); do
  [ "${t%%.*}" -lt 500 ] || fail "the agent sent a frame at $t ms, during the download"
done
echo "kr35ctl agent: all checks passed"
