#!/usr/bin/env bash
# Builds the Debian package saldina_VERSION_amd64.deb from build/ (or
# $SALDINA_BUILD) into the top of the tree (or $SALDINA_PACKAGE_DIR).
# Install it with: apt install ./saldina_VERSION_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build="${SALDINA_BUILD:-build}"
out="$(realpath "${SALDINA_PACKAGE_DIR:-.}")"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what the package holds: the programs, the guide, the manual pages.
cmake --build "$build" -j "$(nproc)" --target saldina_installed
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; exit 1; }
for deb in "$work"/*.deb; do
  mv -f "$deb" "$out/"
  echo "$out/$(basename "$deb")"
done
