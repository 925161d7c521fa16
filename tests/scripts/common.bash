# Shared by the tool's script tests: sourced with the build and source dirs.
#   source common.bash BUILD_DIR SOURCE_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
tool=$build/tools/quizdesk-tool
fixtures=$src/tests/fixtures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run CMD...: runs it, keeps its exit code in $rc, stdout in $out, stderr in $err.
run() {
  set +e
  "$@" >"$work/.out" 2>"$work/.err"
  rc=$?
  set -e
  out=$(cat "$work/.out")
  err=$(cat "$work/.err")
}

# expect_rc WHAT CODE
expect_rc() {
  if [ "$rc" -ne "$2" ]; then
    fail "$1: exit $rc, expected $2 (stderr: $err)"
  fi
}

# The plain UTF-8 text of a code page 1251 file, and back.
to_utf8() { iconv -f CP1251 -t UTF-8 "$1"; }
to_cp1251() { iconv -f UTF-8 -t CP1251 >"$1"; }
# A report as the server's report command prints it: UTF-8, its last line
# ended.
report_text() { to_utf8 "$1"; [ -z "$(tail -c 1 "$1")" ] || echo; }

# within SECONDS CMD...: true as soon as CMD succeeds, false after SECONDS.
within() {
  local limit=$(($1 * 10)) i
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# demo_in_file_order DIR: a copy of the plain demo test (and its pictures)
# in DIR with its draws switched off, so that questions and options come in
# file order whatever the seed: what a test on a real X server, where the
# program seeds from the clock, can predict.
demo_in_file_order() {
  mkdir -p "$1"
  cp "$src"/examples/demo/source/voprosi.txt "$src"/examples/demo/source/otveti.txt "$1"/
  cp "$src"/examples/demo/*.jpg "$src"/examples/demo/*.bmp "$1"/
  # Header lines 18 to 20: sections, questions and options in random order.
  LC_ALL=C sed -i '18,20s/1\r$/0\r/' "$1/otveti.txt"
  [ "$(LC_ALL=C sed -n '18,20p' "$1/otveti.txt" | grep -c $': 0\r$')" = 3 ] ||
    { echo "FAIL: the demo's random switches were not found" >&2; exit 1; }
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
