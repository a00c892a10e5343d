#!/usr/bin/env bash
# Builds the Debian package of MeterLink: installs what is missing, builds the three programs
# (Release, without tests or benchmarks) into build-package/ and has CPack make
# build-package/meterlink_<version>_<arch>.deb of them. Install it with
#   sudo apt install ./build-package/meterlink_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DMETERLINK_BUILD_TESTS=OFF -DMETERLINK_BUILD_BENCH=OFF > build-package-configure.log \
    || { cat build-package-configure.log >&2; exit 1; }
rm -f build-package/meterlink_*.deb
cmake --build build-package --target package
ls build-package/meterlink_*.deb
