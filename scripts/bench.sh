#!/usr/bin/env bash
# Builds the benchmarks (Release) into build-bench/ and runs every one whose name ends in "_bench",
# or only those named as arguments. Google Benchmark options go in BENCH_ARGS.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFOLIOPORT_BENCHMARKS=ON -DFOLIOPORT_BUILD_TESTS=OFF
cmake --build build-bench

if [ $# -gt 0 ]; then
  benches=("$@")
else
  benches=()
  for path in build-bench/bench/*_bench; do
    [ -x "$path" ] && benches+=("$(basename "$path")")
  done
fi
for name in "${benches[@]}"; do
  echo "== $name"
  # shellcheck disable=SC2086  # BENCH_ARGS is a list of options
  "build-bench/bench/$name" ${BENCH_ARGS:---benchmark_repetitions=5 --benchmark_report_aggregates_only=true}
done
