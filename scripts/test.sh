#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. The
# tests labelled `server` run on a throw-away PostgreSQL server started here
# (in a temporary folder, reached through a Unix socket) and stopped at the
# end; set TALVOR_TEST_SERVER to a connection string to use another server.
set -euo pipefail
cd "$(dirname "$0")/.."
HERE="$(pwd)"
bash scripts/deps.sh
JOBS=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$JOBS"
if [ -z "${TALVOR_TEST_SERVER:-}" ]; then
  SERVER_DIR="$(mktemp -d "${TMPDIR:-/tmp}/talvor-pg.XXXXXX")"
  trap 'bash "$HERE/scripts/test_server.sh" stop "$SERVER_DIR"' EXIT
  TALVOR_TEST_SERVER="$(bash scripts/test_server.sh start "$SERVER_DIR")"
  export TALVOR_TEST_SERVER
fi
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS"
