#!/usr/bin/env bash
# Fuzz run: scripts/fuzz.sh MINUTES [TARGET...]   (MINUTES shared equally by the targets)
#           scripts/fuzz.sh --each SECONDS [TARGET...]   (every target for SECONDS; CI uses 20)
# Builds the libFuzzer targets with clang in build-fuzz and runs each on its seed corpus
# (fuzz/corpus/<target>, read only) plus a working corpus of its own (build-fuzz/fuzz-work/<target>,
# kept between runs). A crash, leak, hang or sanitizer report stops that target, leaves the input
# as build-fuzz/fuzz-work/crash-* (or timeout-*) and makes the script fail. Each target prints
# how many inputs it ran.
set -euo pipefail

usage() {
  echo "usage: $0 MINUTES [TARGET...] | $0 --each SECONDS [TARGET...]" >&2
  exit 2
}
each=
if [[ ${1:-} == --each ]]; then
  shift
  [[ ${1:-} =~ ^[0-9]+$ && $1 -ge 1 ]] || usage
  each=$1
else
  [[ ${1:-} =~ ^[0-9]+$ && $1 -ge 1 ]] || usage
  minutes=$1
fi
shift

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  targets=(brain_fuzz m3d_fuzz project_fuzz settings_fuzz run_files_fuzz image_fuzz wave_fuzz
           track_fuzz fuzz_visual_readers fuzz_model_file net_fuzz builder_fuzz math_fuzz
           brain_native_fuzz)
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DKORVA_FUZZ=ON -DKORVA_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

if [[ -n $each ]]; then
  share=$each
else
  share=$((minutes * 60 / ${#targets[@]}))
  ((share > 0)) || share=1
fi
status=0
for t in "${targets[@]}"; do
  work=$build/fuzz-work
  mkdir -p "$work/$t"
  seeds=()
  [[ -d $root/fuzz/corpus/$t ]] && seeds=("$root/fuzz/corpus/$t")
  dict=()
  # fuzz/<name>.dict serves the target <name>_fuzz.
  [[ -f $root/fuzz/${t%_fuzz}.dict ]] && dict=("-dict=$root/fuzz/${t%_fuzz}.dict")
  exe=$(find "$build" -type f -name "$t" -perm -u+x | head -n 1)
  echo "== $t: ${share}s"
  # New inputs go to the working corpus (the first folder); the seeds in the repo stay as they are.
  if ! (cd "$work" && "$exe" -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "${dict[@]}" "$work/$t" "${seeds[@]}" 2>"$work/$t.log"); then
    echo "   FINDING: see $work/$t.log" >&2
    tail -n 40 "$work/$t.log" >&2
    status=1
  fi
  grep -E "stat::number_of_executed_units|^Done" "$work/$t.log" | sed 's/^/   /' || true
done
exit $status
