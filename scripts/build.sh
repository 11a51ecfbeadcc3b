#!/usr/bin/env bash
# Configures and builds Korva into build/ (two jobs: the machines are small and shared).
# Extra arguments go to cmake's configure step, e.g. -DKORVA_BENCH=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KORVA_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DKORVA_WERROR=ON "$@" >/dev/null
cmake --build "$build_dir" -j2
