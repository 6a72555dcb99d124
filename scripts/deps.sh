#!/usr/bin/env bash
# Installs the Debian packages talvor needs to build and test (as root).
# The user's manual is laid out in DejaVu Sans; the help menu opens it with
# the desktop's PDF viewer (xdg-open, and xpdf where the desktop has none).
set -euo pipefail
PKGS="build-essential cmake ninja-build pkg-config git
 qt6-base-dev qt6-base-dev-tools libqt6svg6 libgl-dev qt6-translations-l10n
 libsqlite3-dev sqlite3 zlib1g-dev libjpeg-dev
 libboost-context-dev libsodium-dev libxlsxwriter-dev
 libgtest-dev libgmock-dev googletest libbenchmark-dev
 poppler-utils qpdf python3-openpyxl
 postgresql libpq-dev
 fonts-dejavu-core xdg-utils xpdf"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends $missing
fi
