#!/usr/bin/env bash
# Cross-builds the Windows executables (kr35ctl.exe and the test runners) with
# mingw-w64 into build-windows/ (or $1). Installs the cross compiler, Wine and
# GoogleTest's sources first when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-windows}
jobs=${JOBS:-$(nproc)}

scripts/install-deps.sh g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix wine wine64 googletest

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKR35_WERROR=ON \
  -DKR35_BUILD_QT=OFF -DKR35_BUILD_BENCH=OFF -DKR35_BUILD_FUZZ=OFF >/dev/null
cmake --build "$build" -j "$jobs"
