#!/usr/bin/env bash
# Fresh machine to a running demo: installs what is needed, builds, and starts korva.
# Without a display the run is headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
build_dir=${KORVA_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export KORVA_HEADLESS=1
fi
work=$(mktemp -d)
cd "$work"
"$OLDPWD/$build_dir/korva"
echo "demo: korva ran in $work and ended with exit code $?"
