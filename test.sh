#!/usr/bin/env bash
# Installs what is missing, builds Kavello into build/ and runs the test suite.
# Long batteries (fuzzing, soak, sanitizer builds) are behind CTest labels and are not run here;
# see README.md.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
cd build
ctest --output-on-failure -j"$jobs" -LE 'fuzz|soak|long|screenshot-manual' "$@"
