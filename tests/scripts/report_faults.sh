#!/usr/bin/env bash
# The dry run when the report cannot be written: with a file-size limit no
# whole copy can be written anywhere ("report none"); with a full results
# folder (a tmpfs of one page, filled) the whole report goes to the home
# folder's REZ_TEST and the report line names that copy. Either way the
# program's message is printed and the run goes on.
source "$(dirname "$0")/common.bash" "$@"

now="2026-12-07 10:05:09"
message="message Не удалось записать файл результатов!"
printf 'name Іван\nbegin\npress 0 0\nnext\ntype Київ\nnext\n' >"$work/run.script"

# play HOME DIR: the script on the test in DIR, the report under HOME.
play() {
  mkdir -p "$1"
  HOME=$1 run "$tool" run "$2" --script "$work/run.script" --seed 1 --char-w 8 --now "$now"
}

# The report as it is when nothing goes wrong.
play "$work/home-ok" "$fixtures/minimal"
expect_rc "reference" 0
whole=$(sed -n 's/^report //p' "$work/.out")
[ -f "$whole" ] || fail "reference: no report"
[[ "$out" != *"message "* ]] || fail "reference: '$out'"

# A file-size limit of nothing: the tool is not killed (SIGXFSZ), it says so.
# Its output goes through a pipe, which the limit does not touch.
mkdir -p "$work/home-limit"
set +e
out=$( (ulimit -f 0 && HOME=$work/home-limit exec "$tool" run "$fixtures/minimal" \
  --script "$work/run.script" --seed 1 --char-w 8 --now "$now") 2>&1)
rc=$?
set -e
expect_rc "file-size limit" 0
[[ "$out" == *"$message"* ]] || fail "file-size limit: no message in '$out'"
[[ "$out" == *"grade "* ]] || fail "file-size limit: the run did not go on: '$out'"
[[ "$out" == *$'\nreport none' ]] || fail "file-size limit: '$out'"

# A results folder on a full tmpfs, mounted in a mount namespace of its own
# so that it goes with the process whatever happens.
test=$work/full-test
mkdir -p "$test" "$work/full"
cp "$fixtures/minimal"/* "$test"/
printf 'Мова: 0\r\nРезультати: %s\r\n' "$work/full" | to_cp1251 "$work/extra"
cat "$work/extra" >>"$test/otveti.txt"
if [ "$(id -u)" -eq 0 ]; then unshare=(unshare -m); else unshare=(unshare -rm); fi
if "${unshare[@]}" true 2>/dev/null; then
  set +e
  HOME=$work/home-full "${unshare[@]}" bash -c '
    set -e
    mount -t tmpfs -o size=4k tmpfs "$1"
    head -c 4096 /dev/zero >"$1/filler"
    mkdir -p "$HOME"
    exec "$2" run "$3" --script "$4" --seed 1 --char-w 8 --now "$5"
  ' full "$work/full" "$tool" "$test" "$work/run.script" "$now" >"$work/.out" 2>"$work/.err"
  rc=$?
  set -e
  out=$(cat "$work/.out")
  expect_rc "full folder" 0
  [[ "$out" == *"$message"* ]] || fail "full folder: no message in '$out' ($(cat "$work/.err"))"
  copy=$(sed -n 's/^report //p' "$work/.out")
  [ "$copy" = "$work/home-full/REZ_TEST/Iван.txt" ] || fail "full folder: report '$copy'"
  # The copy is the whole report, the same bytes as the run without faults
  # but for the test's folder in the test name's second line.
  if [ -f "$copy" ]; then
    diff <(sed "s|$test|DIR|" "$copy") <(sed "s|$fixtures/minimal|DIR|" "$whole") >&2 \
      || fail "full folder: the copy is not the whole report"
  fi
  [ -z "$(ls -A "$work/full")" ] || fail "full folder: the tmpfs stayed mounted"
else
  echo "skipped the full-folder case: no mount namespace here"
fi

finish
