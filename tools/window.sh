# shellcheck shell=bash
# Driving Quillon's window as a user does, for tools/run-with-sim.sh and the scripts in bench/.
# Sourced, not run. The caller sets $quillon (the program's pid); find_window sets $window.

# await TENTHS COMMAND...: waits up to TENTHS tenths of a second for COMMAND to succeed.
await() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

window=""
find_window() {
  window=$(xdotool search --onlyvisible --pid "$quillon" 2>/dev/null | head -n1)
  [ -n "$window" ]
}

# The pixel centre of each hot area's place in the dialog template (2 px across, 2.25 px down).
# shellcheck disable=SC2034 # read by the scripts that source this
declare -A centre=(
  [exit2]="929 675"        # EXIT2, the start screen's exit tile (433, 272, 63 x 56)
  [in2]="635 447"          # IN2, NO of the start screen's exit question (273, 173, 89 x 51)
  [terminal]="97 675"      # red tile (17, 272, 63 x 56)
  [thermal]="307 675"      # green tile (122, 272, 63 x 56)
  [power]="514 675"        # blue tile (225, 272, 64 x 56)
  [io]="726 675"           # yellow tile (331, 272, 64 x 56)
  [exit]="930 675"         # purple EXIT tile (433, 272, 64 x 56)
  [yes]="635 318"          # YES of the exit question (273, 116, 89 x 51)
)

# click NAME: a click at the centre of a hot area; $wx, $wy are the window's origin on the screen.
click() {
  local x y
  read -r x y <<<"${centre[$1]}"
  xdotool mousemove $((wx + x)) $((wy + y)) click 1
}
