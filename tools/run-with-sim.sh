#!/usr/bin/env bash
# Installs what is missing, builds the two programs, starts the simulated controller on a
# pseudo-terminal and runs Quillon on it as COM1. Without a display it plays the same session
# on a virtual display, visits every page and writes a picture of each.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: tools/run-with-sim.sh [--tour] [--pictures DIR] [SIMULATOR OPTION]...
Installs what is missing, builds quillon and quillon-sim, starts quillon-sim on a
pseudo-terminal and quillon on it as COM1. The simulated controller presses the
management button after 3 s: the start screen gives way to the terminal-status
page, which fills. The simulator ends when quillon ends.

Without a display (or with --tour) the same session runs on a virtual display: it
clicks its way through the start screen, the exit question of the start screen,
the terminal-status, thermal, power and I/O pages and the exit question, writes
a PNG of each page into a folder whose path it prints, answers YES and ends.

  --tour           play the visit on a virtual display even when there is a display
  --pictures DIR   write the pictures of the visit into DIR (default: a new folder in /tmp)
  -h, --help       show this text

Every other option goes to the simulator (see quillon-sim --help), for example
--io-version 0123456789ABC01c for the I/O page without COM-port supply.
The build directory is $QUILLON_BUILD_DIR, by default build/default.
EOF
}

tour=0
pictures=""
sim_args=()
while (($#)); do
  case $1 in
    -h | --help) usage; exit 0 ;;
    --tour) tour=1; shift ;;
    --pictures)
      [ $# -ge 2 ] || { echo "run-with-sim.sh: --pictures needs a folder" >&2; exit 2; }
      pictures=$2; shift 2 ;;
    *) sim_args+=("$1"); shift ;;
  esac
done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then tour=1; fi

cd "$(dirname "$0")/.."
# shellcheck source=tools/window.sh
. tools/window.sh
tools/install-deps.sh
build=${QUILLON_BUILD_DIR:-build/default}
if [ "$build" = build/default ]; then
  cmake --preset default >/dev/null
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target quillon quillon-sim

work=$(mktemp -d /tmp/quillon-run.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Waits for the simulator started last to name its device; sets $device.
sim_device() {
  pids+=($!)
  if ! await 100 grep -q "^device: " "$work/sim.out"; then
    echo "the simulator did not start:" >&2
    cat "$work/sim.out" "$work/sim.log" >&2
    exit 1
  fi
  device=$(sed -n 's/^device: //p' "$work/sim.out")
}

if ((!tour)); then
  "$build/sim/quillon-sim" --delay 3000 "${sim_args[@]}" >"$work/sim.out" 2>"$work/sim.log" &
  sim_device
  echo "simulated controller on $device; it presses the management button in 3 s"
  QUILLON_COM1="$device" "$build/quillon" &
  quillon=$!
  pids+=("$quillon")
  status=0
  wait "$quillon" || status=$?
  exit "$status"
fi

# The visit: each hot area is clicked at the pixel centre of its place (tools/window.sh).

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "run-with-sim.sh: $tool is missing" >&2; exit 1; }
done
if [ -z "$pictures" ]; then
  pictures=$(mktemp -d /tmp/quillon-pages.XXXXXX)
else
  mkdir -p "$pictures"
fi

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
await 100 test -s "$work/display" || { echo "the virtual display did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
unset WAYLAND_DISPLAY

# The management button is pressed through the simulator's standard input.
mkfifo "$work/button"
"$build/sim/quillon-sim" --interactive --log "${sim_args[@]}" <"$work/button" >"$work/sim.out" 2>"$work/sim.log" &
exec 4>"$work/button"
sim_device
QUILLON_COM1="$device" "$build/quillon" >"$work/quillon.out" 2>"$work/quillon.err" &
quillon=$!
pids+=("$quillon")

await 200 find_window ||
  { echo "the window did not show:" >&2; cat "$work/quillon.err" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"
wx=$X wy=$Y

shot=0
previous=""
picture() {
  sleep 1.5
  shot=$((shot + 1))
  local file="$pictures/$shot-$1.png"
  import -window root -crop "${WIDTH}x${HEIGHT}+${wx}+${wy}" +repage "$file"
  if [ -n "$previous" ] && cmp -s "$previous" "$file"; then
    echo "run-with-sim.sh: $1 looks the same as the page before it" >&2
  fi
  previous=$file
}

picture start-screen
click exit2
picture start-exit-question
click in2
sleep 1
echo >&4
await 200 grep -q "accepted all states$" "$work/sim.log" ||
  { echo "quillon and the simulator did not start streaming:" >&2; cat "$work/sim.log" >&2; exit 1; }
sleep 1.5
picture terminal-status
click thermal
picture thermal
click power
picture power
click io
picture io
click exit
await 100 grep -q "accepted all states stop$" "$work/sim.log" || echo "run-with-sim.sh: no stop request was sent" >&2
picture exit-question
click yes
ended() { ! kill -0 "$quillon" 2>/dev/null; }
if ! await 100 ended; then
  echo "run-with-sim.sh: quillon did not end on YES" >&2
  exit 1
fi
exec 4>&-
echo "pictures of every page in $pictures:"
ls "$pictures"
