#!/usr/bin/env bash
# The whole program's CPU: quillon in a virtual display against quillon-sim on a pty, streaming
# status frames at a chosen rate. Prints quillon's CPU per frame, then its CPU and wake-ups while
# idle: once after the stream has stopped (the exit question, port open), once against a silent
# controller (the start screen). Ends by itself and ends every process it started.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: bench/whole-program.sh [OPTION]...
  --rate HZ          status frames per second (default 1280, the line's limit for 9-byte frames)
  --seconds N        length of the streaming measurement (default 20)
  --idle-seconds N   length of each idle measurement (default 30)
  --page PAGE        page shown while streaming: terminal, thermal, power or io (default terminal)
  --no-silent        leave out the idle run against a silent controller
  -h, --help         show this text
The programs come from $QUILLON_BUILD_DIR (default build/default), built first if needed.
Frames are counted by quillon-sim itself (SIGUSR1), not computed from the rate.
EOF
}

rate=1280 seconds=20 idle_seconds=30 page=terminal silent=1
while (($#)); do
  case $1 in
    -h | --help) usage; exit 0 ;;
    --rate) rate=${2:?--rate needs a value}; shift 2 ;;
    --seconds) seconds=${2:?--seconds needs a value}; shift 2 ;;
    --idle-seconds) idle_seconds=${2:?--idle-seconds needs a value}; shift 2 ;;
    --page) page=${2:?--page needs a value}; shift 2 ;;
    --no-silent) silent=0; shift ;;
    *) usage >&2; exit 2 ;;
  esac
done

cd "$(dirname "$0")/.."
# shellcheck source=bench/lib.sh
. bench/lib.sh
[[ $page =~ ^(terminal|thermal|power|io)$ ]] || die "--page: '$page' is not terminal, thermal, power or io"

build_programs
start_display
echo "whole program: quillon on $DISPLAY against quillon-sim --rate $rate; $(machine_load)"

# idle WHAT: CPU and wake-ups of quillon over the idle time. A thread that ends meanwhile (Qt's
# pooled threads expire after 30 s) takes its counts with it: each is counted as one wake-up.
idle() {
  local t0 t1 cpu wakes ended
  t0=$(cpu_ticks "$quillon")
  thread_cpu_ns "$quillon" >"$work/ns0"
  thread_wakeups "$quillon" >"$work/w0"
  sleep "$idle_seconds"
  t1=$(cpu_ticks "$quillon")
  thread_cpu_ns "$quillon" >"$work/ns1"
  thread_wakeups "$quillon" >"$work/w1"
  read -r cpu _ <<<"$(thread_growth "$work/ns0" "$work/ns1")"
  read -r wakes ended <<<"$(thread_growth "$work/w0" "$work/w1")"
  awk -v what="$1" -v s="$idle_seconds" -v t=$((t1 - t0)) -v ns="$cpu" -v w=$((wakes + ended)) -v e="$ended" \
    -v hz="$ticks_per_second" 'BEGIN {
      pct = t / hz / s * 100
      printf "idle, %s, %d s: CPU %.3f %% of a core (%d ticks; %.1f us/s by the ns clock), %.2f wake-ups/s%s\n",
        what, s, pct, t, ns / 1e3 / s, w / s, (e ? sprintf(" (%d threads ended meanwhile)", e) : "")
      printf "    goal: idle < 0.2 %%: %s; no wake-ups: %s\n", (pct < 0.2 ? "met" : "NOT MET"), (w == 0 ? "met" : "NOT MET")
    }'
}

# Streaming, then idle after the stream stops.
start_sim stream --rate "$rate"
start_quillon stream
await_stream
if [ "$page" != terminal ]; then
  click "$page"
  sleep 2
fi
f0=$(frames_sent) t0=$(cpu_ticks "$quillon") x0=$(cpu_ticks "$xvfb")
start=$(date +%s.%N)
sleep "$seconds"
f1=$(frames_sent) t1=$(cpu_ticks "$quillon") x1=$(cpu_ticks "$xvfb")
elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
frames=$((f1 - f0))
awk -v f="$frames" -v s="$elapsed" -v t=$((t1 - t0)) -v x=$((x1 - x0)) -v hz="$ticks_per_second" -v page="$page" '
  BEGIN {
    if (f <= 0) { print "streaming: no frames came"; exit 1 }
    us = t * 1e6 / hz / f
    printf "streaming, %s page, %.1f s: %d frames (%.1f frames/s, counted by quillon-sim)\n", page, s, f, f / s
    printf "    quillon CPU per frame: %.1f us (%d ticks of utime+stime, %.1f %% of a core)\n", us, t, t / hz / s * 100
    printf "    (Xvfb, not counted: %.1f us per frame)\n", x * 1e6 / hz / f
  }' | tee "$work/stream.txt"

# The machine's floor at the same rate, measured now: two bare threads woken for every frame.
"$build/bench/quillon_bench_serial" --bare-chain "$rate" "$seconds" 2>"$work/floor.txt" ||
  die "the floor's measurement failed: $(cat "$work/floor.txt")"
floor=$(sed -n 's/.*together \([0-9.]*\) us CPU per frame.*/\1/p' "$work/floor.txt")
us=$(sed -n 's/.*CPU per frame: \([0-9.]*\) us.*/\1/p' "$work/stream.txt")
pct=$(sed -n 's/.*, \([0-9.]*\) % of a core).*/\1/p' "$work/stream.txt")
awk -v us="$us" -v floor="$floor" -v pct="$pct" -v rate="$rate" 'BEGIN {
  printf "    floor at %d frames/s: %.1f us per frame (%.2f %% of a core); quillon is %.2f times the floor\n",
    rate, floor, floor * rate / 1e4, us / floor
  if (rate <= 100) printf "    goal <= 1 %% of a core: %s\n", (pct <= 1 ? "met" : "NOT MET")
  else printf "    goal <= 1.5 times the floor: %s\n", (us <= 1.5 * floor ? "met" : "NOT MET")
}'

click exit
await 100 grep -q "accepted all states stop$" "$sim_log" || die "the EXIT tile sent no stop request"
sleep 2
idle "after the stream stopped (exit question, port open)"
t=$(escape_time 10)
[ "$t" != never ] || die "quillon did not end on Esc"
echo "Esc ended quillon in $t s"

if ((silent)); then
  start_sim silent --silent
  start_quillon silent
  sleep 3
  idle "against a silent controller (start screen)"
  t=$(escape_time 10)
  [ "$t" != never ] || die "quillon did not end on Esc"
  echo "Esc ended quillon in $t s"
fi
