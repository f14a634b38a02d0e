#!/usr/bin/env bash
# Runs window test programs under a real display server: `openbox` (Xvfb with the openbox
# window manager, QT_QPA_PLATFORM=xcb) or `weston` (a headless Weston compositor,
# QT_QPA_PLATFORM=wayland). Fails when a test fails, or when Qt warns about the platform.
# Arguments: openbox|weston, then the test programs.
set -euo pipefail
mode=$1
shift
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() { # a check, tried for up to ten seconds
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  return 1
}

case $mode in
openbox)
  command -v Xvfb >/dev/null && command -v openbox >/dev/null || fail "needs Xvfb and openbox"
  # -noreset: the server would start afresh when its last client leaves, refusing the next.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  wait_for test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(cat "$work/display")"
  wait_for xprop -root -len 0 >/dev/null 2>&1 || fail "Xvfb on $DISPLAY does not answer"
  openbox --config-file /dev/null >"$work/openbox.log" 2>&1 &
  pids+=($!)
  # openbox names itself on the root window once it manages the screen.
  wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not start: $(cat "$work/openbox.log")"
  export QT_QPA_PLATFORM=xcb
  ;;
weston)
  command -v weston >/dev/null || fail "needs weston"
  mkdir -m 700 "$work/runtime"
  XDG_RUNTIME_DIR=$work/runtime weston --backend=headless-backend.so --socket=wayland-test \
    --idle-time=0 --width=1280 --height=1024 >"$work/weston.log" 2>&1 &
  pids+=($!)
  wait_for test -S "$work/runtime/wayland-test" || fail "weston did not start: $(cat "$work/weston.log")"
  # An absolute path: the tests point XDG_RUNTIME_DIR at a folder of their own.
  export WAYLAND_DISPLAY=$work/runtime/wayland-test
  export QT_QPA_PLATFORM=wayland
  # Qt 6.4's Wayland input method dereferences the seat a headless compositor lacks.
  export QT_IM_MODULE=none
  # No OpenGL (the window draws without it): Mesa's software driver, loaded for it and
  # unloaded before the process ends, leaves memory LeakSanitizer can name no library of.
  export QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none
  ;;
*) fail "unknown display server: $mode" ;;
esac

# Under AddressSanitizer, the display libraries' own leaks are not the program's.
LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$0")/lsan-display.supp"
export LSAN_OPTIONS

for program in "$@"; do
  log=$work/$(basename "$program").log
  if ! timeout 300 "$program" >"$log" 2>&1; then
    cat "$log" >&2
    fail "$(basename "$program") under $mode"
  fi
  # A compositor without a seat refuses the clipboard probe of the tests that skip, and the
  # plugin says it was given no OpenGL; any other word from the platform plugin is a fault
  # of the window's.
  warnings=$(grep -E '^(qt\.qpa|QWidget::|QWindow|Warning)' "$log" |
    grep -v -e "Can't set clipboard contents with no wl_seats available" \
      -e 'Failed to load client buffer integration: "none"' \
      -e 'Available client buffer integrations:' || true)
  [ -z "$warnings" ] || fail "$(basename "$program") under $mode warned:"$'\n'"$warnings"
  echo "$(basename "$program") under $mode: $(grep -c '^\[       OK' "$log") passed," \
    "$(grep -cE '^\[  SKIPPED \] .* \([0-9]+ ms\)$' "$log") skipped"
done
