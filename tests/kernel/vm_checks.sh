#!/bin/sh
# The checks run inside the test VM: kr35ctl against kr35-sim on the real
# kernel (uhid, hidraw, kernel uevents), and the ALSA backend against
# snd-dummy. Each check prints "ok - NAME" or "not ok - NAME" with the
# output it judged; the count of failures goes to /tmp/failed.
# Files: /kr35/scenarios/*.json, /kr35/usb.hex and /kr35/dsp.hex with their
# expected versions in /kr35/hex-versions ("USB xxxx, DSP yyyy").
K=/kr35
failed=0
SIM_PID=

log() { echo "  $*"; }
ok() { echo "ok - $1"; }
not_ok() {
  echo "not ok - $1"
  failed=$((failed + 1))
  echo "$failed" >/tmp/failed
}
show() { sed 's/^/    | /' "$1"; }
now_ms() { echo $(($(cut -d' ' -f1 /proc/uptime | tr -d .) * 10)); }

# The hidraw node of the simulated adapter (HID_PHYS set by kr35-sim), or nothing.
adapter_node() {
  for uevent in /sys/class/hidraw/hidraw*/device/uevent; do
    [ -f "$uevent" ] || continue
    if grep -q '^HID_PHYS=kr35-sim/adapter0$' "$uevent"; then
      echo "/dev/$(basename "$(dirname "$(dirname "$uevent")")")"
      return
    fi
  done
}

# Waits up to 10 s until the adapter node exists (or, with "gone", does not).
wait_adapter() {
  i=0
  while [ $i -lt 100 ]; do
    node=$(adapter_node)
    if [ "$1" = gone ]; then [ -z "$node" ] && return 0; else [ -n "$node" ] && [ -c "$node" ] && return 0; fi
    usleep 100000
    i=$((i + 1))
  done
  return 1
}

# wait_for FILE PATTERN TENTHS: waits up to TENTHS tenths of a second until
# FILE has a line that matches PATTERN.
wait_for() {
  i=0
  while [ $i -lt "$3" ] && ! grep -q "$2" "$1" 2>/dev/null; do
    usleep 100000
    i=$((i + 1))
  done
}

# start_sim [OPTION...]: kr35-sim in the background, waits for its node.
start_sim() {
  kr35-sim "$@" >/tmp/sim.log 2>&1 &
  SIM_PID=$!
  wait_adapter || { log "the adapter's hidraw node did not appear"; show /tmp/sim.log; return 1; }
}

# Stops kr35-sim (SIGTERM); its exit status in $sim_rc.
stop_sim() {
  [ -n "$SIM_PID" ] || return 0
  kill "$SIM_PID" 2>/dev/null
  wait "$SIM_PID" 2>/dev/null
  sim_rc=$?
  SIM_PID=
  wait_adapter gone || log "the adapter's hidraw node stayed after kr35-sim ended"
}

# run NAME SECONDS COMMAND...: runs kr35ctl with a time limit; output in
# /tmp/NAME.out, exit status in $rc, wall time in $ms.
run() {
  name=$1 limit=$2
  shift 2
  start=$(now_ms)
  timeout "$limit" "$@" >"/tmp/$name.out" 2>&1
  rc=$?
  ms=$(($(now_ms) - start))
  log "$* -> exit $rc in $ms ms"
}

expect_versions() {  # NAME "USB xxxx, DSP yyyy"
  run "$1" 60 kr35ctl versions
  if [ $rc -eq 0 ] && grep -q "^version: .*$2" "/tmp/$1.out"; then ok "$1: $2"; else show "/tmp/$1.out"; not_ok "$1: $2"; fi
}

echo "== HID devices before the simulator (QEMU's USB tablet)"
# USB enumeration runs on its own; give the tablet up to 20 s to get its node.
i=0
while [ $i -lt 200 ] && ! ls /dev/hidraw* >/dev/null 2>&1; do
  usleep 100000
  i=$((i + 1))
done
ls /dev/hidraw* 2>/dev/null | sed 's/^/  /'
others=$(ls /dev/hidraw* 2>/dev/null | wc -l)

echo "== list, versions, standard download"
if start_sim --scenario="$K/scenarios/serial.json"; then
  node=$(adapter_node)
  run list 30 kr35ctl list
  if [ $rc -eq 0 ] && [ "$(grep -c '^adapter: ' /tmp/list.out)" = 1 ] &&
    grep -qi "^adapter: $node .*3c1f:5e35.*KR35 Headset Adapter (simulated)  serial KR35-VM-0001  port [^ ]*$" /tmp/list.out &&
    [ "$others" -ge 1 ]; then
    ok "list: the adapter is $node with its serial number, among $((others + 1)) hidraw nodes"
  else
    show /tmp/list.out
    not_ok "list shows the adapter's node $node with its serial number, and no other"
  fi
  expect_versions versions-before "USB 0100, DSP 0100"
  # Recorded, for the replay checks below.
  run download 300 kr35ctl --record=/tmp/download.jsonl download --yes
  if [ $rc -eq 0 ] && grep -q "^message: Firmware download successful!" /tmp/download.out; then
    ok "download --yes of the built-in images ($ms ms)"
  else
    show /tmp/download.out
    not_ok "download --yes of the built-in images"
  fi
  grep '^message: \|^version: ' /tmp/download.out | sed 's/^/    | /'
  expect_versions versions-after "USB 0104, DSP 0107"
else
  not_ok "kr35-sim presents the adapter"
fi
stop_sim

echo "== replay of the download's recording through kr35-sim --replay"
replay_start=$(now_ms)
# The same program against the recording gives the same lines, and kr35-sim
# then ends with status 0: every recorded report was written, none differed.
if [ -s /tmp/download.jsonl ] && start_sim --replay=/tmp/download.jsonl --replay-speed=max; then
  run replay 300 kr35ctl download --yes
  stop_sim
  # The waiting lines say how long nothing moved in real time, which a
  # full-speed replay skips: they are left out of the comparison.
  grep -v '^waiting: ' /tmp/download.out >/tmp/download.lines
  grep -v '^waiting: ' /tmp/replay.out >/tmp/replay.lines
  if [ $rc -eq 0 ] && [ $sim_rc -eq 0 ] && cmp -s /tmp/download.lines /tmp/replay.lines; then
    ok "replayed download: the recorded lines, exit 0 ($ms ms)"
  else
    diff /tmp/download.out /tmp/replay.out | sed 's/^/    | /'
    show /tmp/sim.log
    not_ok "replayed download: the recorded lines, exit 0 (kr35-sim exit $sim_rc)"
  fi
else
  not_ok "kr35-sim --replay presents the recorded adapter"
fi
stop_sim
# Other images depart from the recording at their first differing report:
# kr35-sim names it, stops answering, and ends with status 1.
if [ -s /tmp/download.jsonl ] && start_sim --replay=/tmp/download.jsonl --replay-speed=max; then
  timeout 120 kr35ctl download --yes --usb=$K/usb.hex --dsp=$K/dsp.hex >/tmp/diverge.out 2>&1 &
  host_pid=$!
  wait_for /tmp/sim.log 'replay: output report' 300
  kill -KILL "$host_pid" 2>/dev/null  # SIGTERM would only warn it
  wait "$host_pid" 2>/dev/null
  stop_sim
  if [ $sim_rc -eq 1 ] &&
    grep -q '^kr35-sim: replay: output report [0-9]* differs from the recording$' /tmp/sim.log &&
    grep -q '^  recorded: [0-9a-f]*$' /tmp/sim.log && grep -q '^  written:  [0-9a-f]*$' /tmp/sim.log; then
    ok "replay with other images: $(grep -o 'output report [0-9]*' /tmp/sim.log), kr35-sim exit 1"
  else
    show /tmp/sim.log
    not_ok "replay with other images: the divergence message and kr35-sim exit 1 (exit $sim_rc)"
  fi
else
  not_ok "kr35-sim --replay presents the recorded adapter"
fi
stop_sim
log "the replay checks took $(($(now_ms) - replay_start)) ms"

echo "== FULL mode from HEX files"
hex_versions=$(cat $K/hex-versions)
if start_sim; then
  run full 300 kr35ctl download --yes --usb=$K/usb.hex --dsp=$K/dsp.hex
  if [ $rc -eq 0 ] && grep -q "^message: " /tmp/full.out; then ok "FULL-mode download ($ms ms)"; else show /tmp/full.out; not_ok "FULL-mode download"; fi
  grep '^message: ' /tmp/full.out | sed 's/^/    | /'
  expect_versions versions-full "$hex_versions"
else
  not_ok "kr35-sim presents the adapter"
fi
stop_sim

echo "== doctor as a user without access to the adapter's node"
# A user of its own; devtmpfs makes the node root's, mode 0600, as a system
# without the udev rule leaves it. Applying the rule is done by hand here (no
# udevd, no logind): its uaccess tag gives the user at the seat read and
# write on the node, as owning it does.
mkdir -p /etc /tmp/kr35-user
grep -q '^kr35:' /etc/passwd 2>/dev/null || echo 'kr35:x:1000:1000::/tmp/kr35-user:/bin/sh' >>/etc/passwd
grep -q '^kr35:' /etc/group 2>/dev/null || echo 'kr35:x:1000:' >>/etc/group
chown kr35 /tmp/kr35-user
if start_sim; then
  node=$(adapter_node)
  run doctor-denied 60 su -s /bin/sh kr35 -c "kr35ctl --history=none doctor"
  if [ $rc -eq 1 ] &&
    grep -q "^check: fail open for reading: $node is the adapter but cannot be opened (permission denied)" /tmp/doctor-denied.out &&
    grep -q "^  fix: install the udev rule .*70-kr35.rules, then unplug and plug in the adapter" /tmp/doctor-denied.out; then
    ok "doctor without access: fails with the udev rule as the fix"
  else
    show /tmp/doctor-denied.out
    not_ok "doctor without access: fails with the udev rule as the fix (exit $rc)"
  fi
  chown kr35 "$node"
  run doctor-granted 60 su -s /bin/sh kr35 -c "kr35ctl --history=none doctor"
  if grep -q "^check: ok   open for reading: $node" /tmp/doctor-granted.out &&
    grep -q "^check: ok   open for writing: $node" /tmp/doctor-granted.out &&
    grep -q "^check: ok   versions: USB " /tmp/doctor-granted.out &&
    ! grep -q "^check: fail \(adapter\|open\|product\|response\|output\|versions\)" /tmp/doctor-granted.out; then
    ok "doctor once the rule is applied: the adapter's checks pass"
  else
    show /tmp/doctor-granted.out
    not_ok "doctor once the rule is applied: the adapter's checks pass"
  fi
else
  not_ok "kr35-sim presents the adapter"
fi
stop_sim

echo "== the claim: a second download while one runs"
# The first download holds a flock on the adapter's hidraw node; the second
# kr35ctl is refused before its first frame, naming the holder.
if start_sim --scenario="$K/scenarios/slow.json"; then
  kr35ctl download --yes >/tmp/first.out 2>&1 &  # no timeout: $! is kr35ctl itself
  first_pid=$!
  # The confirmation is printed just before the download takes the claim.
  wait_for /tmp/first.out '^message: ' 100
  usleep 300000
  run second 30 kr35ctl --json download --yes
  wait $first_pid
  first_rc=$?
  if [ $rc -eq 1 ] && grep -q "\"outcome\":\"refused\".*the adapter is busy: kr35ctl (pid $first_pid) is using it" /tmp/second.out &&
    [ $first_rc -eq 0 ]; then
    ok "second download refused: busy, kr35ctl (pid $first_pid); the first completed"
  else
    show /tmp/second.out
    show /tmp/first.out
    not_ok "second download refused while the first (exit $first_rc) runs"
  fi
else
  not_ok "kr35-sim presents the adapter"
fi
stop_sim

# scenario_download NAME SCENARIO EXIT MESSAGE INFO LIMIT_S: a standard
# download on a misbehaving adapter ends with that exit status, message box
# and info line, within the time limit.
scenario_download() {
  if start_sim --scenario="$K/scenarios/$2"; then
    run "$1" 300 kr35ctl download --yes
    if [ $rc -eq "$3" ] && grep -q "^message: $4" "/tmp/$1.out" && grep -q "^info: $5" "/tmp/$1.out" &&
      [ "$ms" -le $(($6 * 1000)) ]; then
      ok "$1: exit $rc, \"$4\", \"$5\" ($ms ms)"
    else
      show "/tmp/$1.out"
      not_ok "$1: expected exit $3 with \"$4\" and \"$5\" within $6 s"
    fi
  else
    not_ok "$1: kr35-sim presents the adapter"
  fi
  stop_sim
}

echo "== update: three adapters with serial numbers of their own in one run"
# The hidraw nodes kr35-sim presents.
count_adapters() { grep -l '^HID_PHYS=kr35-sim/' /sys/class/hidraw/hidraw*/device/uevent 2>/dev/null | wc -l; }
# Each adapter's line of the report says it was updated to the built-in versions.
fleet_report_ok() {
  for s in A B C; do
    grep -q "\"serial\":\"KR35-VM-$s\".*\"after\":{\"usb\":260,\"dsp\":263}.*\"result\":\"updated\"" /tmp/update.json ||
      return 1
  done
}
fleet_pids=
for s in A B C; do
  echo "{\"hid\": {\"serial\": \"KR35-VM-$s\"}}" >"/tmp/fleet-$s.json"
  kr35-sim --scenario="/tmp/fleet-$s.json" >"/tmp/sim-$s.log" 2>&1 &
  fleet_pids="$fleet_pids $!"
done
i=0
while [ $i -lt 100 ] && [ "$(count_adapters)" -lt 3 ]; do
  usleep 100000
  i=$((i + 1))
done
run update 300 kr35ctl update --all --yes --report=/tmp/update.json
if [ $rc -eq 0 ] && grep -q '^summary: 3 updated, 0 current, 0 failed, 0 refused$' /tmp/update.out &&
  fleet_report_ok; then
  ok "update --all: three adapters updated at once, each found again after its restart ($ms ms)"
else
  show /tmp/update.out
  show /tmp/update.json
  not_ok "update --all updates three adapters and finds each again after its restart"
fi
run update-again 60 kr35ctl update --all --yes
if [ $rc -eq 0 ] && grep -q '^summary: nothing to update' /tmp/update-again.out; then
  ok "update --all again: nothing to update"
else
  show /tmp/update-again.out
  not_ok "update --all again finds every adapter current"
fi
for pid in $fleet_pids; do kill "$pid" 2>/dev/null; done
for pid in $fleet_pids; do wait "$pid" 2>/dev/null; done
i=0
while [ $i -lt 100 ] && [ "$(count_adapters)" -gt 0 ]; do
  usleep 100000
  i=$((i + 1))
done

echo "== scenarios"
scenario_download rejected-blocks rejected_blocks.json 1 "Firmware download failed." \
  "USB Error, 0x120 bytes are written" 300
scenario_download busy busy.json 0 "Firmware download successful!" "Download Completion: USB" 300
# An unplug ends the download in bounded time: one block's attempts and the end command's.
scenario_download unplug unplug_during_download.json 1 "Firmware download failed." "DSP Error, 0x" 60

echo "== monitor: plug, buttons, unplug, replug"
timeout 40 kr35ctl monitor --duration=12 >/tmp/monitor.out 2>&1 &
monitor_pid=$!
usleep 500000
start_sim --scenario="$K/scenarios/monitor.json"
wait $monitor_pid
monitor_rc=$?
stop_sim
show /tmp/monitor.out
# Expected, in this order: arrival, mute button, removal, arrival, volume-up
# button (the dialog may report more usages per press than these).
sequence=$(grep -io '^device: arrival\|^device: removal\|^button: .*usage 00e[29]' /tmp/monitor.out |
  tr 'A-Z' 'a-z' | sed 's/^button: .*usage /button /; s/^device: //' | tr '\n' ' ')
log "seen: $sequence"
case "$sequence" in
  *arrival*"button 00e2"*removal*arrival*"button 00e9"*)
    if [ $monitor_rc -eq 0 ]; then ok "monitor saw arrival, mute, removal, arrival, volume up"; else not_ok "monitor exit $monitor_rc"; fi ;;
  *) not_ok "monitor saw arrival, mute, removal, arrival, volume up" ;;
esac

echo "== ALSA backend on snd-dummy"
run alsa 60 kr35-alsa-probe Dummy
show /tmp/alsa.out
if [ $rc -eq 0 ]; then ok "ALSA: capture switch read and toggled through the mixer model"; else not_ok "ALSA probe"; fi

echo "$failed" >/tmp/failed
[ "$failed" -eq 0 ]
