#!/usr/bin/env sh
# Prints the project's version, as declared once in CMakeLists.txt.
cd "$(dirname "$0")/.." && sed -n 's/^project(kr35 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt
