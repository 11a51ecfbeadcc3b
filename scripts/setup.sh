#!/usr/bin/env bash
# Brings a Debian 12 machine to a working Korva build: installs the packages of
# scripts/packages.txt (apt-get update once, only when something is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t wanted < <(grep -v '^\s*#' scripts/packages.txt | grep -v '^\s*$')
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
