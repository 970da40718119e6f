# shellcheck shell=bash
# Shared by whole-program.sh and fault-runs.sh: a virtual display, quillon-sim on a pty,
# quillon on it as COM1, and what /proc says about the quillon process. Sourced, not run.
# Every process started here is recorded in $pids and ended by the EXIT trap.

build=${QUILLON_BUILD_DIR:-build/default}
work=$(mktemp -d /tmp/quillon-bench.XXXXXX)
pids=()
# shellcheck disable=SC2034 # read by the scripts that source this
ticks_per_second=$(getconf CLK_TCK)
# shellcheck source=tools/window.sh
. tools/window.sh

# Whether PID is still a child of this shell: an ended one's number may belong to another process.
ours() {
  [ "$(awk '{ sub(/^.*\) /, ""); print $2 }' "/proc/$1/stat" 2>/dev/null)" = "$$" ]
}

# stop PID: ends one of our processes and waits for it.
stop() {
  if ours "$1"; then kill "$1" 2>/dev/null || true; fi
  wait "$1" 2>/dev/null || true
}

# QUILLON_BENCH_KEEP=1 keeps the logs, the trace words and the samples for a look afterwards.
cleanup() {
  for pid in "${pids[@]}"; do stop "$pid"; done
  if [ -n "${QUILLON_BENCH_KEEP:-}" ]; then
    echo "logs kept in $work" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

die() {
  echo "$(basename "$0"): $*" >&2
  exit 1
}

build_programs() {
  [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target quillon quillon-sim quillon_bench_serial >/dev/null || die "the build failed"
}

# Starts Xvfb on a display number of its own and exports DISPLAY.
start_display() {
  for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || die "$tool is missing (tools/install-deps.sh installs it)"
  done
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb=$!
  pids+=("$xvfb")
  await 100 test -s "$work/display" || die "the virtual display did not start: $(cat "$work/xvfb.log")"
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY
  unset WAYLAND_DISPLAY
}

# start_sim NAME OPTION...: quillon-sim on a pty of its own; sets $sim and $device.
# Its standard output (the device, the frame counts) goes to $work/NAME.out, its log to NAME.log.
start_sim() {
  local name=$1
  shift
  sim_out="$work/$name.out"
  sim_log="$work/$name.log"
  : >"$sim_out"
  : >"$sim_log"
  "$build/sim/quillon-sim" --log "$@" >"$sim_out" 2>"$sim_log" &
  sim=$!
  pids+=("$sim")
  await 100 grep -q "^device: " "$sim_out" || die "the simulator did not start: $(cat "$sim_log")"
  device=$(sed -n 's/^device: //p' "$sim_out")
}

# start_quillon NAME: quillon on $device as COM1, every other port on nothing; sets $quillon,
# $window and the window's place $wx $wy. The trace words go to $work/NAME.trace.
start_quillon() {
  local name=$1 n
  for n in 2 3 4 5 6 7 8; do export "QUILLON_COM$n=/nonexistent/quillon-com$n"; done
  QUILLON_COM1="$device" "$build/quillon" >"$work/$name.trace" 2>"$work/$name.err" &
  quillon=$!
  pids+=("$quillon")
  window=""
  await 200 find_window || die "the window did not show: $(cat "$work/$name.err")"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wx=$X wy=$Y
}

# The colour of one pixel of the window as "R,G,B".
pixel() {
  import -window root -crop "1x1+$((wx + $1))+$((wy + $2))" -depth 8 txt:- 2>/dev/null |
    sed -n 's/.*srgb(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1,\2,\3/p' | head -n1
}

# The header tab, left of its title: red on terminal status, green on thermal.
header_colour() { pixel 45 124; }

# Whether the thermal page is up: green leads in its header tab.
thermal_shown() {
  local r g b
  IFS=, read -r r g b <<<"$(header_colour)"
  [ -n "$g" ] && ((g > r + 40 && g > b))
}

# A process may end between the two looks: then it is not alive, without a word.
alive() {
  local state
  ours "$1" && state=$(awk '{ sub(/^.*\) /, ""); print $1 }' "/proc/$1/stat" 2>/dev/null) &&
    [ -n "$state" ] && [ "$state" != Z ]
}
ended() { ! alive "$1"; }

# CPU time of a process in clock ticks: user plus system, every thread, those ended too.
cpu_ticks() {
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}

# Per-thread counters, one "TID VALUE" line a thread: run time in nanoseconds from the scheduler,
# and context switches, voluntary and not (each one is a wake-up).
thread_cpu_ns() {
  local task
  for task in /proc/"$1"/task/*; do
    awk -v t="${task##*/}" '{ print t, $1 }' "$task/schedstat" 2>/dev/null || true
  done
}
thread_wakeups() {
  local task
  for task in /proc/"$1"/task/*; do
    awk -v t="${task##*/}" '/ctxt_switches:/ { s += $2 } END { if (NR) print t, s + 0 }' "$task/status" 2>/dev/null || true
  done
}

# thread_growth BEFORE AFTER: "GROWTH ENDED" over two such samples: what the threads alive at both
# and those that began in between added, and how many threads ended in between (their share is lost).
thread_growth() {
  awk 'NR == FNR { before[$1] = $2; next }
       { if ($1 in before) { d += $2 - before[$1]; delete before[$1] } else d += $2 }
       END { n = 0; for (t in before) ++n; print d + 0, n }' "$1" "$2"
}

# status_kib PID FIELD: VmRSS or VmHWM in KiB.
status_kib() {
  awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status"
}

# Whether quillon-sim has printed more than N frame counts.
counts_beyond() { (($(grep -c "^frames sent: " "$sim_out" || true) > $1)); }

# The frames quillon-sim has written whole so far: it prints the count on SIGUSR1, and at its end.
frames_sent() {
  local before
  before=$(grep -c "^frames sent: " "$sim_out" || true)
  if alive "$sim" && kill -USR1 "$sim" 2>/dev/null; then
    await 50 counts_beyond "$before" || die "quillon-sim did not count its frames"
  fi
  sed -n 's/^frames sent: //p' "$sim_out" | tail -n1
}

# Waits until quillon and the simulator stream: the last all-states request has been taken.
await_stream() {
  await 300 grep -q "accepted all states$" "$sim_log" || die "quillon and quillon-sim did not start streaming"
  # The serial-number exchange pauses the stream and asks for all states again at its end.
  sleep 3
}

# Presses Esc in the window; prints the seconds quillon took to end, or "never" after the limit.
escape_time() {
  local limit=${1:-10} start end
  xdotool mousemove $((wx + 500)) $((wy + 300))
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  start=$(date +%s.%N)
  xdotool key Escape
  if await $((limit * 10)) ended "$quillon"; then
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f\n", b - a }'
  else
    echo never
  fi
}

machine_load() { uptime | sed 's/.*load average/load average/'; }
