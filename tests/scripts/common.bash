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

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
