#!/usr/bin/env sh
# Every program answers --help on stdout with exit 0 and creates no file
# doing so; a mistyped option is a usage error (exit 2), never the option
# parser's own codes; and each refuses, before touching anything, what would
# make it write where it must not or die without a word.
# Usage: programs_keep_their_contract.sh KR35CTL KR35_SIM KR35_EXPLORE KR35_MAKE_HEX [KR35_DOWNLOAD]
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS STDERR_PART COMMAND...: runs COMMAND and checks both.
expect() {
  want=$1 part=$2
  shift 2
  "$@" >out.txt 2>err.txt </dev/null
  got=$?
  [ "$got" -eq "$want" ] || fail "$* exited $got, not $want: $(cat err.txt)"
  case $(cat err.txt) in *"$part"*) ;; *) fail "$* did not say '$part': $(cat err.txt)" ;; esac
}

for program in "$@"; do
  expect 0 "" "$program" --help
  [ -s out.txt ] || fail "$program --help printed nothing on stdout"
  leftovers=$(ls -A | grep -v -e '^out.txt$' -e '^err.txt$')
  [ -z "$leftovers" ] || fail "$program --help created: $leftovers"
done
# kr35-download only notes unknown switches: the window system may own them.
for program in "$1" "$2" "$3" "$4"; do
  expect 2 "" "$program" --no-such-option
done

kr35_sim=$2
printf 'keep me\n' >plain.txt
expect 1 "is not a character device" "$kr35_sim" --uhid=plain.txt
[ "$(cat plain.txt)" = "keep me" ] || fail "kr35-sim --uhid wrote over a regular file"
expect 1 "not the kernel's uhid device" "$kr35_sim" --uhid=/dev/zero --trace=trace.jsonl
[ ! -e trace.jsonl ] || fail "kr35-sim opened its trace before refusing the uhid node"

if [ $# -ge 5 ]; then
  kr35_download=$5
  expect 2 "no display was found" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    "$kr35_download" --simulate
  expect 2 "--sim-state needs --simulate" "$kr35_download" --sim-state=flash.json
  expect 2 "--replay-speed needs --replay" "$kr35_download" --simulate --replay-speed=max
  expect 2 "exclude each other" "$kr35_download" --simulate --replay=some.jsonl
  expect 2 "(--record) is also an input" "$kr35_download" --simulate=s.json --record=s.json
fi
[ "$failures" -eq 0 ]
