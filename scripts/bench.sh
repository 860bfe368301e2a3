#!/usr/bin/env bash
# Builds the benchmarks (Release) into build-bench/ and runs every *_bench target, or only those
# named as arguments. Google Benchmark options can be given in BENCH_ARGS.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFOLIOPORT_BENCHMARKS=ON -DFOLIOPORT_BUILD_TESTS=OFF

if [ $# -gt 0 ]; then
  benches=("$@")
else
  mapfile -t benches < <(ninja -C build-bench -t targets all | sed -n 's/^\([A-Za-z0-9_]*_bench\): .*/\1/p' | grep -v '^cmake_' | sort -u)
fi
cmake --build build-bench --target "${benches[@]}"

for name in "${benches[@]}"; do
  echo "== $name"
  # shellcheck disable=SC2086  # BENCH_ARGS is a list of options
  "build-bench/bench/$name" ${BENCH_ARGS:---benchmark_repetitions=5 --benchmark_report_aggregates_only=true}
done
