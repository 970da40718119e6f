#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated controller on a
# pseudo-terminal and runs Quillon on it as COM1. Arguments go to the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
log=$(mktemp)
build/default/sim/quillon-sim --delay 3000 "$@" >"$log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 50); do
  device=$(sed -n 's/^device: //p' "$log")
  [ -n "$device" ] && break
  sleep 0.1
done
[ -n "$device" ] || { echo "the simulator did not start:" >&2; cat "$log" >&2; exit 1; }
echo "simulated controller on $device; it presses the management button in 3 s"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  QUILLON_COM1="$device" build/default/quillon
else
  QUILLON_COM1="$device" xvfb-run -a -s "-screen 0 1280x1024x24" build/default/quillon
fi
