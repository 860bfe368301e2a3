#!/usr/bin/env bash
# Usage: scripts/keyring-stall.sh [--busy-disk]
# Builds keyring_stall (Release, build-bench/) and runs it inside a private keyring that never answers:
# it prints the longest stall of the application state's event loop at start, at "Done" (saving the
# settings), at a refresh against the fake site on 127.0.0.1 and at picking a space (a preferences write).
# --busy-disk keeps a writer running meanwhile that writes 256 MB and syncs them, over and over, in the
# temporary folder, so that every fsync on that disk waits its turn, as on a slow or busy disk.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFOLIOPORT_BENCHMARKS=ON -DFOLIOPORT_BUILD_TESTS=OFF
cmake --build build-bench --target keyring_stall hanging_secret_service
service="$(find build-bench -type f -name hanging_secret_service -perm -u+x | head -n 1)"
if [ "${1:-}" = --busy-disk ]; then
  ballast="$(mktemp -d "${TMPDIR:-/tmp}/folioport-ballast.XXXXXX")"
  touch "$ballast/running"
  ( while [ -e "$ballast/running" ]; do
      dd if=/dev/zero of="$ballast/ballast" bs=1M count=256 conv=fsync status=none
    done ) &
  writer=$!
  # why: the writer ends after its current pass, so nothing is left writing once the script is done.
  trap 'rm -f "$ballast/running"; wait "$writer"; rm -rf "$ballast"' EXIT
  sleep 2
fi
tests/keyring/with-keyring.sh --service="$service" build-bench/bench/keyring_stall
