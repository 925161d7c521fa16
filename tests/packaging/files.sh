#!/usr/bin/env bash
# What the packages install besides the programs, checked without installing
# anything: the desktop entry, the kiosk session's entry and launcher, the
# AppStream data, the manual pages as man
# reads them, every option of the programs' usage in their pages, and the
# server unit's sandbox (systemd's exposure score at most 2.0).
#   files.sh SOURCE_DIR BUILD_DIR QUIZDESK_TOOL QUIZDESK_EXAMD
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

desktop-file-validate "$src/packaging/io.github.quizdesk.QuizDesk.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$src/packaging/io.github.quizdesk.QuizDesk.metainfo.xml" ||
  fail "AppStream data"
desktop-file-validate "$src/packaging/kiosk/quizdesk-kiosk.desktop" || fail "the kiosk session's entry"
sh -n "$src/packaging/kiosk/quizdesk-kiosk-session" || fail "the kiosk session's launcher"

# Every program's page is built, and man finds nothing to warn about in it.
for page in quizdesk.1 quizdesk-tool.1 quizdesk-examd.8; do
  gz=$build/man/$page.gz
  if [ ! -s "$gz" ]; then
    fail "no manual page $page (pandoc missing?)"
    continue
  fi
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page: $warnings"
done

# Every option the programs' usage names is in their manual page.
for program in "$3" "$4"; do
  prog=$(basename "$program")
  page=$(ls "$build"/man/"$prog".?.gz)
  help=$("$program" --help 2>&1 || true)
  text=$(zcat "$page" | sed 's/\\-/-/g')
  for option in $(grep -o -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
    grep -q -- "$option" <<<"$text" || fail "$prog: $option is not in its manual page"
  done
done

unit=$src/systemd/quizdesk-examd.service
if ! systemd-analyze security --offline=true --threshold=20 --no-pager "$unit" >/dev/null 2>&1; then
  fail "the service's exposure: $(systemd-analyze security --offline=true --no-pager "$unit" 2>&1 | tail -n1)"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
