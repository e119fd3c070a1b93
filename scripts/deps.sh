#!/usr/bin/env bash
# Installs the Debian packages the program needs to build, run and test.
set -euo pipefail
pkgs=(cmake ninja-build g++ qt6-base-dev libsqlite3-dev fonts-liberation2 poppler-utils
  qt6-translations-l10n libxlsxwriter-dev pkg-config python3-openpyxl
  dpkg-dev desktop-file-utils)
# The PostgreSQL server the tests start, and its client library.
pkgs+=(postgresql libpq-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
