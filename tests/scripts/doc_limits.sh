#!/usr/bin/env bash
# What the guides say about the programs, checked against the programs: the
# longest name they state is the one roster and the title page take, no
# option with a blank in its value is put into examd.conf (whose own comment
# says it cannot go there), and every server log line they quote is the
# start of a line the server prints.
source "$(dirname "$0")/common.bash" "$@"

guides=("$src/docs/guide.md" "$src/docs/guide.uk.md")
examd=$build/server/quizdesk-examd

# name LENGTH: a name of that many Cyrillic letters.
name() { printf 'Ж%.0s' $(seq "$1"); echo; }

# The name limit: "a name of at most N characters" / "ім'я довжиною не
# більше N символів".
for guide in "${guides[@]}"; do
  n=$(grep -oE "(name of at most|ім'я довжиною не більше) [0-9]+" "$guide" | grep -oE '[0-9]+' | head -1)
  [ -n "$n" ] || { fail "$(basename "$guide"): no name limit stated"; continue; }
  name "$n" >"$work/longest.txt"
  run "$tool" roster "$work/longest.txt" -o "$work/longest.dbf"
  expect_rc "$(basename "$guide"): a name of $n characters" 0
  name "$((n + 1))" >"$work/longer.txt"
  run "$tool" roster "$work/longer.txt" -o "$work/longer.dbf"
  expect_rc "$(basename "$guide"): a name of $((n + 1)) characters" 1
done

# examd.conf takes one word an option: --from and --until hold a blank.
conf_comment=$(grep -c 'options whose value holds a' "$src/packaging/examd.conf" || true)
[ "$conf_comment" -ge 1 ] || fail "examd.conf no longer says where --from and --until go"
for guide in "${guides[@]}" "$src/README.md"; do
  if grep -nE 'EXAMD_OPTIONS=.*--(from|until)' "$guide"; then
    fail "$(basename "$guide") puts --from or --until into EXAMD_OPTIONS"
  fi
done

# Server log lines quoted in the guides are the beginnings of real lines.
printf 'Петренко П.І.\nКоваленко О.В.\nБондар Т.\n' >"$work/names.txt"
"$tool" roster "$work/names.txt" -o "$work/students.dbf" >/dev/null
(cd "$work" && exec "$examd" serve --listen 127.0.0.1 --port 0 --no-http >server.log 2>&1) &
server=$!
for _ in $(seq 100); do
  grep -q listening "$work/server.log" 2>/dev/null && break
  sleep 0.1
done
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null || true
for guide in "${guides[@]}"; do
  while IFS= read -r quoted; do
    grep -qF -- "$quoted" "$work/server.log" ||
      fail "$(basename "$guide") quotes a server line the server does not print: $quoted"
    grep -q "^$(printf '%s' "$quoted" | sed 's/[][\.*^$/]/\\&/g')" "$work/server.log" ||
      fail "$(basename "$guide"): '$quoted' is not the start of a server line"
  done < <(grep -E '^quizdesk-examd: ' "$guide" || true)
done

finish
