#!/usr/bin/env bash
# Configures and builds Folioport into build/ (extra CMake arguments are passed through).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja "$@"
cmake --build build
