#!/usr/bin/env bash
# Installs the benchmark-only packages, builds the benchmarks into build-bench/ and runs them.
# Extra arguments go to every benchmark program (e.g. --benchmark_filter=Lua).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mapfile -t wanted < <(grep -v '^\s*#' scripts/bench-packages.txt | grep -v '^\s*$')
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
build_dir=${KORVA_BENCH_DIR:-build-bench}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVA_BENCH=ON -DKORVA_TESTS=OFF >/dev/null
targets=$(cmake --build "$build_dir" --target help | grep -o '^bench_[A-Za-z0-9_]*' | sort -u)
cmake --build "$build_dir" -j2 --target $targets
for b in "$build_dir"/bench/bench_*; do
  [ -x "$b" ] && "$b" "$@"
done
