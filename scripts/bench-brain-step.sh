#!/usr/bin/env bash
# Brain step speed side by side: the brain machine (host code and interpreter), Lua 5.4 and LuaJIT
# (interpreter, JIT through the C API, JIT through the FFI), 256 elements running the same
# brain of each workload (typical, keyword-heavy, branchy, loop-heavy) and calling the same C++
# keyword routines. "x Korva" compares with Korva's host code on the same workload.
# Builds the benchmarks into build-bench/ (scripts/bench.sh installs their packages).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KORVA_BENCH_DIR:-build-bench}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVA_BENCH=ON -DKORVA_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j2 --target bench_brain_step bench_brain_step_luajit >/dev/null
args=(--benchmark_format=csv --benchmark_repetitions=${REPETITIONS:-5} --benchmark_report_aggregates_only=true)
{
  "$build_dir/bench/bench_brain_step" "${args[@]}" 2>/dev/null
  "$build_dir/bench/bench_brain_step_luajit" "${args[@]}" 2>/dev/null
} | awk -F, '
  # Median CPU time per brain step (microseconds in the CSV), in nanoseconds.
  $1 ~ /_median"?$/ {
    name = $1; gsub(/"|BM_BrainStep_|_median/, "", name)
    ns[name] = $4 * 1000; order[++n] = name
  }
  END {
    printf "%-36s %14s %16s %12s\n", "brain step (256 el.)", "ns per step", "ns per element", "x Korva"
    for (i = 1; i <= n; i++) {
      k = order[i]
      match(k, /Korva|Lua/)
      ref = substr(k, 1, RSTART - 1) "Korva"
      printf "%-36s %14.0f %16.1f %12.2f\n", k, ns[k], ns[k] / 256, ns[k] / ns[ref]
    }
  }'
