#!/usr/bin/env bash
# Runs every benchmark executable in BUILD_DIR/bench; extra arguments go to each
# (e.g. --benchmark_filter=Hex --benchmark_repetitions=5).
#   scripts/run-benchmarks.sh BUILD_DIR [BENCHMARK_ARGS...]
# Build them first with: cmake --build BUILD_DIR --target <benchmarks> (a
# Release build gives meaningful figures).
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [BENCHMARK_ARGS...]" >&2
  exit 2
fi
build_dir=$1
shift
bench_dir="$build_dir/bench"
mapfile -t benches < <(find "$bench_dir" -maxdepth 1 -type f -perm -u+x -name 'kr35_bench_*' 2>/dev/null | sort)
if [ ${#benches[@]} -eq 0 ]; then
  echo "no benchmark executables in $bench_dir" >&2
  exit 1
fi
status=0
for bench in "${benches[@]}"; do
  echo "== $(basename "$bench")"
  "$bench" "$@" || { echo "$(basename "$bench") failed" >&2; status=1; }
done
exit $status
