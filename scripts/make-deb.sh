#!/usr/bin/env bash
# Builds the Debian package kavello_<version>_amd64.deb from this checkout: installs what is
# missing, builds the program, its tools and modules (no tests) in build-deb/, and packages
# them with CPack. The package lands in build-deb/ and its path is printed.
# Install it with: sudo apt install ./build-deb/kavello_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVELLO_TESTS=OFF -DKAVELLO_BENCH=OFF >/dev/null
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack -G DEB >/dev/null)
ls -1 "$PWD"/build-deb/kavello_*_amd64.deb
