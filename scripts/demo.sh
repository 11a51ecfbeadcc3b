#!/usr/bin/env bash
# Fresh machine to a running demo: installs what is needed, builds, writes an installation
# with korva-mkdata and runs its demo project through the front end korva-go.
# Without a display the run is headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
build_dir=${KORVA_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export KORVA_HEADLESS=1
fi
# A fresh editing installation with the demo project, run through the front end.
work=${KORVA_DEMO_DIR:-$(mktemp -d)}
"$build_dir/korva-mkdata" "$work"
"$build_dir/korva-go" --dir "$work" run demo
