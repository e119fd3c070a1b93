#!/usr/bin/env bash
# Installs what is missing, builds, prepares a demo installation under demo/
# (once) and starts the program on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
build="${SALDINA_BUILD:-build}"
if [ ! -f demo/prog.ini ]; then
  "$build/cli/saldina-cli" init demo --demo
fi
# The program in build/ reads prog.ini and the guide beside its executable.
[ -f "$build/prog.ini" ] || cp demo/prog.ini "$build/prog.ini"
cd "$build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: starting with QT_QPA_PLATFORM=offscreen (set DISPLAY to see the window)." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec ./saldina "$@"
