#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a while.
#   ./scripts/fuzz.sh [-t SECONDS] [TARGET...]
# Without targets it runs every *_fuzz target (60 seconds each by default). The corpus of each
# target grows in build-fuzz/corpus/<target>/; inputs that fail are saved in build-fuzz/crashes/
# and should become rows of a regression test. A fuzz/<target>.dict file is used when present.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
if [ "${1:-}" = "-t" ]; then
  seconds=$2
  shift 2
fi

# why: libstdc++ 12 declares std::expected only for compilers that announce C++20 concepts in
# full; clang 16 implements what it needs but still announces the older value.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 \
  -DCMAKE_CXX_FLAGS="-D__cpp_concepts=202002L -Wno-macro-redefined" \
  -DFOLIOPORT_FUZZ=ON -DFOLIOPORT_BUILD_TESTS=OFF

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(ninja -C build-fuzz -t targets all | sed -n 's/^\([A-Za-z0-9_]*_fuzz\): .*/\1/p' | grep -v '^cmake_' | sort -u)
fi
cmake --build build-fuzz --target "${targets[@]}"

mkdir -p build-fuzz/crashes
status=0
for name in "${targets[@]}"; do
  echo "== $name: $seconds s"
  mkdir -p "build-fuzz/corpus/$name"
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$name-")
  [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
  "build-fuzz/fuzz/$name" "${options[@]}" "build-fuzz/corpus/$name" || status=1
done
exit $status
