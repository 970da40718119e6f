#!/usr/bin/env bash
# The fault runs: quillon in a virtual display against quillon-sim streaming as fast as the line
# allows, four times: clean; with every fault option on; hanging up halfway; with a peer that
# stops taking bytes halfway. For each run: resident memory (VmRSS over the run, peak VmHWM),
# CPU, and whether the window still answers at the end: a click on the thermal tile must turn
# the header green, and Esc must end the program; after the stall, Esc comes behind ten queued
# requests. Ends by itself and ends every process it started.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: bench/fault-runs.sh [--minutes M | --seconds S] [--rate HZ] [--only RUN]...
  --minutes M   length of each run (default 10)
  --seconds S   the same in seconds, for trying (at least 20)
  --rate HZ     status frames per second (default 1280, the line's limit for 9-byte frames)
  --only RUN    play only this run: clean, faults, hangup or stalled (may be repeated)
  -h, --help    show this text
The programs come from $QUILLON_BUILD_DIR (default build/default), built first if needed.
EOF
}

seconds=600 rate=1280 only=()
while (($#)); do
  case $1 in
    -h | --help) usage; exit 0 ;;
    --minutes) seconds=$((${2:?--minutes needs a value} * 60)); shift 2 ;;
    --seconds) seconds=${2:?--seconds needs a value}; shift 2 ;;
    --rate) rate=${2:?--rate needs a value}; shift 2 ;;
    --only) only+=("${2:?--only needs a run}"); shift 2 ;;
    *) usage >&2; exit 2 ;;
  esac
done
((seconds >= 20)) || { echo "fault-runs.sh: a run lasts at least 20 s" >&2; exit 2; }

cd "$(dirname "$0")/.."
# shellcheck source=bench/lib.sh
. bench/lib.sh

half_ms=$((seconds * 1000 / 2))
# Each fault at a period prime to the others, so that they meet in every combination.
declare -A run_options=(
  [clean]=""
  [faults]="--bad-checksum 7 --split-at 4 --split-pause 1 --garbage 11 --garbage-bytes 6 --ack-delay 50 --drop-ack 5"
  [hangup]="--hangup-after $half_ms"
  [stalled]="--stop-reading-after $half_ms"
)
runs=(clean faults hangup stalled)
((${#only[@]})) && runs=("${only[@]}")
for name in "${runs[@]}"; do
  [ -n "${run_options[$name]+x}" ] || die "no run called '$name'"
done

build_programs
start_display
echo "fault runs of $seconds s each on $DISPLAY, quillon-sim --rate $rate; $(machine_load)"

# One sample: seconds since the start, CPU ticks, VmRSS in KiB, frames sent.
sample() {
  local now
  now=$(awk -v a="$run_start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
  echo "$now $(cpu_ticks "$quillon") $(status_kib "$quillon" VmRSS) $(frames_sent)" >>"$samples"
}

# The header left of its title, polled until it turns green; prints the seconds it took or "never".
page_change_time() {
  local start end
  start=$(date +%s.%N)
  click thermal
  if await 50 thermal_shown; then
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f\n", b - a }'
  else
    echo never
  fi
}

# OSD ON on the I/O page (401, 210, 41 x 25): each click writes one request.
osd_on="843 501"

# Ten requests queued one behind the other on the I/O page, as clicks the window takes in turn:
# on a held line the first waits out its time-out, and the others, Esc's link-close request too,
# fail at once.
queue_requests() {
  local x y
  read -r x y <<<"$osd_on"
  for _ in 1 2 3 4 5 6 7 8 9 10; do xdotool mousemove $((wx + x)) $((wy + y)) click 1; done
}

# Seconds since the run's simulator started.
since_start() { awk -v a="$run_start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f\n", b - a }'; }

play() {
  local name=$1 step k hwm="" answered queued behind esc status=""
  # Samples on a grid from the simulator's start, so that one falls on the halfway hang-up or stall.
  step=$((seconds / 40))
  ((step >= 1)) || step=1
  # shellcheck disable=SC2086
  start_sim "$name" --delay 1000 --rate "$rate" ${run_options[$name]}
  run_start=$(date +%s.%N)
  start_quillon "$name"
  samples="$work/$name.samples"
  : >"$samples"
  await_stream
  sample
  k=$(awk -v t="$(since_start)" -v s="$step" 'BEGIN { print int(t / s) + 1 }')
  while ((k * step <= seconds)); do
    sleep "$(awk -v t="$(since_start)" -v due=$((k * step)) 'BEGIN { d = due - t; printf "%.2f\n", (d > 0 ? d : 0) }')"
    k=$((k + 1))
    if ! alive "$quillon"; then
      status="quillon ENDED by itself after about $(since_start) s"
      break
    fi
    sample
  done
  if [ -z "$status" ]; then
    hwm=$(status_kib "$quillon" VmHWM)
    # The window as the run left it, kept with the logs under QUILLON_BENCH_KEEP.
    import -window root -crop "1026x770+$wx+$wy" +repage "$work/$name-end.png" 2>/dev/null || true
    answered=$(page_change_time)
    behind=""
    if [ "$name" = stalled ]; then
      click io
      sleep 0.5
      queued=$(date +%s.%N)
      queue_requests
    fi
    esc=$(escape_time 15)
    if [ "$name" = stalled ] && [ "$esc" != never ]; then
      behind=", $(awk -v a="$queued" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s after the first of 10 queued requests"
    fi
    [ "$answered" != never ] || status+="the thermal tile did NOT change the page; "
    [ "$esc" != never ] || status+="Esc did NOT end quillon within 15 s"
    [ -n "$status" ] || status="responsive: the thermal tile changed the page in $answered s, Esc ended quillon in $esc s$behind"
  fi
  # Halves of the run: CPU per frame while frames come, otherwise CPU as a share of a core.
  local report
  report=$(awk -v hz="$ticks_per_second" -v hwm="$hwm" -v halfway=$((seconds / 2)) '
    { t[NR] = $1; c[NR] = $2; r[NR] = $3; f[NR] = $4; n = NR }
    END {
      if (n < 3) { print "    too few samples"; exit }
      mid = 2
      for (i = 2; i < n; ++i) if ((t[i] - halfway) ^ 2 < (t[mid] - halfway) ^ 2) mid = i
      half(1, mid, sprintf("%.0f to %.0f s", t[1], t[mid])); half(mid, n, sprintf("%.0f to %.0f s", t[mid], t[n]))
      lo = r[1]; hi = r[1]; for (i = 2; i <= n; ++i) { if (r[i] < lo) lo = r[i]; if (r[i] > hi) hi = r[i] }
      printf "    memory: VmRSS %.1f MiB once streaming, %.1f MiB at the end (lowest %.1f, highest %.1f); peak VmHWM %s\n",
        r[1] / 1024, r[n] / 1024, lo / 1024, hi / 1024, hwm == "" ? "unknown" : sprintf("%.1f MiB", hwm / 1024)
      printf "    CPU: %.1f s over %.0f s (%.2f %% of a core)\n", (c[n] - c[1]) / hz, t[n] - t[1],
        (c[n] - c[1]) / hz / (t[n] - t[1]) * 100
    }
    function half(a, b, what,   frames, cpu, s) {
      frames = f[b] - f[a]; cpu = (c[b] - c[a]) / hz; s = t[b] - t[a]
      if (frames > 0)
        printf "    %s: %d frames (%.0f/s), %.1f us CPU per frame\n", what, frames, frames / s, cpu * 1e6 / frames
      else
        printf "    %s: no frames, CPU %.2f %% of a core\n", what, cpu / s * 100
    }' "$samples")
  echo "run $name: quillon-sim --rate $rate ${run_options[$name]}"
  echo "$report"
  echo "    $status"
  # The simulator of this run has done its part; a hang-up has ended it already.
  stop "$sim"
}

for name in "${runs[@]}"; do play "$name"; done
echo "machine at the end: $(machine_load)"
