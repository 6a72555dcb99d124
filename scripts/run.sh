#!/usr/bin/env bash
# Installs what is missing, builds the application and starts it in the
# current folder (its tables, talvor.db, live in the working folder).
set -euo pipefail
HERE="$(cd "$(dirname "$0")/.." && pwd)"
bash "$HERE/scripts/deps.sh"
cmake -S "$HERE" -B "$HERE/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVOR_TESTS=OFF -DTALVOR_BENCH=OFF
cmake --build "$HERE/build" -j "$(nproc)" --target talvor
exec "$HERE/build/app/talvor"
