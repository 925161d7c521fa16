#!/usr/bin/env bash
# The student's window from its start to its first painted title page,
# against a bare Qt window of the same size, both started in turn on one
# X server (Xvfb, black root, no window manager):
#   bench/startup.sh BUILD_DIR [ROUNDS]
# Aim: the title page within 1.2 times the bare window's time (median of the
# paired ratios); quizdesk_startup_bench fails otherwise.
set -euo pipefail

build=$(cd "${1:?usage: startup.sh BUILD_DIR [ROUNDS]}" && pwd)
rounds=${2:-15}
root=$(cd "$(dirname "$0")/.." && pwd)
for need in Xvfb; do
  command -v "$need" >/dev/null || { echo "startup.sh: $need is missing (make setup installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The demo test from a copy, its report in a home of its own.
cp -r "$root/examples/demo" "$work/demo"
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime

Xvfb -br -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; echo "startup.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM

"$build/bench/quizdesk_startup_bench" "$build/bench/quizdesk_bare_window" "$build/src/quizdesk" \
  "$work/demo" "$rounds"
