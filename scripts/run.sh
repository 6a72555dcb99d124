#!/usr/bin/env bash
# Installs what is missing, builds the application and starts it in its own
# working folder, ~/talvor (created if missing), where its tables
# (talvor.db) live.
set -euo pipefail
HERE="$(cd "$(dirname "$0")/.." && pwd)"
bash "$HERE/scripts/deps.sh"
cmake -S "$HERE" -B "$HERE/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$HERE/build" -j "$(nproc)" --target talvor
DATA="$HOME/talvor"
mkdir -p "$DATA"
cd "$DATA"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  # No desktop here: serve the window over VNC on this machine only.
  echo "No display found: talvor is served over VNC on localhost:5900."
  echo "Connect a VNC viewer to localhost:5900 (e.g. through 'ssh -L 5900:localhost:5900')."
  export QT_QPA_PLATFORM="vnc:size=1280x800:addr=127.0.0.1"
fi
exec "$HERE/build/app/talvor"
