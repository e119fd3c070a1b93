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
"$build/cli/saldina-cli" --ini demo/prog.ini check
