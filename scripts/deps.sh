#!/usr/bin/env bash
# Installs the Debian packages talvor needs to build and test (as root).
set -euo pipefail
PKGS="build-essential cmake ninja-build pkg-config git
 qt6-base-dev qt6-base-dev-tools libqt6svg6 libgl-dev qt6-translations-l10n
 libsqlite3-dev sqlite3 zlib1g-dev libjpeg-dev
 libboost-context-dev libsodium-dev libxlsxwriter-dev
 libgtest-dev libgmock-dev googletest libbenchmark-dev
 poppler-utils qpdf python3-openpyxl
 postgresql libpq-dev"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends $missing
fi
