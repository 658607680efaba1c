# Sourced by the install tests: check DESCRIPTION COMMAND... runs one check,
# which passes when the command succeeds (its output is shown when it fails),
# and counts it in $passed or $failed.
passed=0
failed=0
check() {
  local description=$1 output
  shift
  if output=$("$@" 2>&1); then
    echo "[       OK ] $description"
    passed=$((passed + 1))
  else
    echo "[  FAILED  ] $description"
    [ -n "$output" ] && sed 's/^/    /' <<<"$output"
    failed=$((failed + 1))
  fi
}
