#!/usr/bin/env bash
# Sets up the machine, builds Folioport with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh -DFOLIOPORT_BUILD_TESTS=ON
cd build
ctest --output-on-failure --timeout 300 -j2
