#!/usr/bin/env bash
# Builds every libFuzzer target with clang in build-fuzz and runs each one,
# starting from its seed corpus in fuzz/corpus/<name> (a target without seeds
# fails the run, so a renamed target cannot silently lose them). The targets share
# FUZZ_TOTAL_SECONDS (default 240) equally, unless FUZZ_SECONDS gives the time
# per target (`make fuzz-long` gives 300). Prints one result line per target;
# exits non-zero when a target crashes or fails to build.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

"$root/scripts/install-deps.sh" || exit 1

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKR35_BUILD_FUZZ=ON -DKR35_SANITIZE=fuzzer-no-link,address,undefined \
  -DKR35_BUILD_TESTS=OFF -DKR35_BUILD_BENCH=OFF -DKR35_BUILD_QT=OFF >"$build/configure.log" 2>&1 \
  || { cat "$build/configure.log" >&2; echo "fuzz: configure failed" >&2; exit 1; }
cmake --build "$build" --target kr35_fuzzers -j2 || { echo "fuzz: build failed" >&2; exit 1; }

mapfile -t targets < "$build/fuzz/fuzzers.txt"
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets" >&2; exit 1; }
seconds=${FUZZ_SECONDS:-$(( ${FUZZ_TOTAL_SECONDS:-240} / ${#targets[@]} ))}

status=0
for name in "${targets[@]}"; do
  [ -n "$name" ] || continue
  corpus="$build/corpus/$name"  # new inputs go here, the seeds stay untouched
  artifacts="$build/artifacts/$name/"
  mkdir -p "$corpus" "$artifacts"
  seeds="$root/fuzz/corpus/$name"
  if ! compgen -G "$seeds/*" >/dev/null; then
    status=1
    echo "fuzz: $name has no seeds in $seeds" >&2
    continue
  fi
  log="$build/$name.log"
  "$build/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$corpus" "$seeds" >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  if [ $rc -eq 0 ]; then
    echo "fuzz: $name OK: ${runs:-?} runs in ${seconds}s ($(( ${runs:-0} / seconds )) execs/s)" \
      "from $(find "$seeds" -type f | wc -l) seeds," \
      "coverage ${cov:-?} edges, ${ft:-?} features"
  else
    status=1
    echo "fuzz: $name CRASH (exit $rc) after ${runs:-?} runs; see $log and $artifacts" >&2
    grep -m1 -A20 -E 'ERROR: |runtime error|deadly signal' "$log" >&2
  fi
done
exit $status
