#!/usr/bin/env bash
# Builds Folioport and the fake Confluence site (Release, into build-bench/) and benchmarks
# `Folioport --mcp` driven by the official MCP client: start-up, memory, per-call overhead, TLS
# connections per update. BENCH_RUNS sets the repetitions (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFOLIOPORT_BUILD_TESTS=ON > /dev/null
cmake --build build-bench --target Folioport fake_confluence
tests/e2e/install.sh
FOLIOPORT_BIN="$PWD/build-bench/app/Folioport" FAKE_CONFLUENCE_BIN="$PWD/build-bench/tests/fake_confluence/fake_confluence" \
  tests/keyring/with-keyring.sh node tests/e2e/bench.mjs
