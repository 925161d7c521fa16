#!/usr/bin/env bash
# The check of the documents' commands (doc_commands.sh) fails, naming the
# document and the block's line, when a shown line is missing from the
# output, a command fails or a quoted message is no program's; and passes a
# document whose output and messages are all there.
source "$(dirname "$0")/common.bash" "$@"

check=$src/tests/scripts/doc_commands.sh

# verdict|what the document's sh block runs|the expected line|a quoted message
while IFS='|' read -r verdict command expected message; do
  doc=$work/doc.md
  printf '# Planted\n\nText.\n\n```sh\n%s\n```\n\n```text\n...\n%s\n```\n\n```console\nfalse\n```\n\n```message\n%s\n```\n' \
    "$command" "$expected" "$message" >"$doc"
  run bash "$check" "$build" "$doc"
  what="$command / $expected / $message"
  case $verdict in
    ok)
      expect_rc "$what" 0 ;;
    missing)
      expect_rc "$what" 1
      [[ $err == *"$doc:5: the block's output lacks the line: $expected"* ]] ||
        fail "$what: reported as: $err" ;;
    failed)
      expect_rc "$what" 1
      [[ $err == *"$doc:5: the block failed"* ]] || fail "$what: reported as: $err" ;;
    message)
      expect_rc "$what" 1
      [[ $err == *"$doc:19: no program has the message: $message"* ]] ||
        fail "$what: reported as: $err" ;;
  esac
done <<'CASES'
ok|cd demo && quizdesk-tool check|OK: questions 12, sections 2|Тип вопроса 3 задан не верно!
missing|cd demo && quizdesk-tool check|OK: questions 13, sections 2|Тип вопроса 3 задан не верно!
missing|echo 'first line'; echo 'second line'|first second|Тип вопроса 3 задан не верно!
failed|cd demo; quizdesk-tool check ../dryrun; echo never|OK: questions 12|Тип вопроса 3 задан не верно!
message|cd demo && quizdesk-tool check|OK: questions 12|Тип вопроса задан неверно!
CASES

finish
