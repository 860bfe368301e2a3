#!/usr/bin/env bash
# Builds Folioport and the fake Confluence site (Release, into build-bench-mcp/) and benchmarks
# `Folioport --mcp` driven by the official MCP client: start-up, memory, per-call overhead, TLS
# connections per update. BENCH_RUNS sets the repetitions (default 30). With a script as argument
# (bench/mcp-soak.mjs: 20,000 tool calls through one server, its memory) it runs that one instead.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench-mcp -G Ninja -DCMAKE_BUILD_TYPE=Release -DFOLIOPORT_BUILD_TESTS=ON > /dev/null
cmake --build build-bench-mcp --target Folioport fake_confluence
tests/e2e/install.sh
FOLIOPORT_BIN="$PWD/build-bench-mcp/app/Folioport" FAKE_CONFLUENCE_BIN="$PWD/build-bench-mcp/fake_confluence/fake_confluence" \
  tests/keyring/with-keyring.sh node "${1:-bench/mcp-tools-bench.mjs}"
