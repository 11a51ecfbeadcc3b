#!/usr/bin/env bash
# Fresh machine to green tests: installs what is needed, builds, runs every test; then builds
# the same tree with clang under AddressSanitizer and UndefinedBehaviorSanitizer and runs every
# test again (KORVA_SANITIZE_TESTS=0 skips that second round); last, every fuzz target runs for
# KORVA_FUZZ_SECONDS (20 by default; 0 skips them) on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
(cd "${KORVA_BUILD_DIR:-build}" && ctest --output-on-failure -j2 --timeout 600)

if [ "${KORVA_SANITIZE_TESTS:-1}" != 0 ]; then
  # Leaks are checked as well; the tests' environment (tests/CMakeLists.txt) keeps run-time
  # loaded libraries loaded and names the system libraries' leaks in tests/sanitizer/lsan.supp.
  CC=clang CXX=clang++ KORVA_BUILD_DIR=build-asan scripts/build.sh -DKORVA_SANITIZE=ON
  (cd build-asan && ctest --output-on-failure -j2 --timeout 900)
fi

if [ "${KORVA_FUZZ_SECONDS:-20}" != 0 ]; then
  scripts/fuzz.sh --each "${KORVA_FUZZ_SECONDS:-20}"
fi
