#!/usr/bin/env bash
# Usage: scripts/keyring-stall.sh
# Builds keyring_stall (Release, build-bench/) and runs it inside a private keyring that never answers:
# it prints the longest stall of the application state's event loop at start, at "Done" (saving the
# settings) and at a refresh against the fake site on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFOLIOPORT_BENCHMARKS=ON -DFOLIOPORT_BUILD_TESTS=OFF
cmake --build build-bench --target keyring_stall hanging_secret_service
service="$(find build-bench -type f -name hanging_secret_service -perm -u+x | head -n 1)"
tests/keyring/with-keyring.sh --service="$service" build-bench/bench/keyring_stall
