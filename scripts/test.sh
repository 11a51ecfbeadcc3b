#!/usr/bin/env bash
# Fresh machine to green tests: installs what is needed, builds, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
cd "${KORVA_BUILD_DIR:-build}"
ctest --output-on-failure -j2 --timeout 600
