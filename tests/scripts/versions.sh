#!/usr/bin/env bash
# Every program answers --version with the project's version and --help with
# its usage on standard output, exit 0, without a display or a test.
source "$(dirname "$0")/common.bash" "$@"

version=$(sed -n 's/^project(QuizDesk VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || fail "no version in CMakeLists.txt"

for program in src/quizdesk tools/quizdesk-tool server/quizdesk-examd; do
  name=${program##*/}
  # No display at all: the answer comes before any window would.
  run env -u DISPLAY -u QT_QPA_PLATFORM "$build/$program" --version
  expect_rc "$name --version" 0
  [ "$out" = "$name $version" ] || fail "$name --version said: $out"
  run env -u DISPLAY -u QT_QPA_PLATFORM "$build/$program" --help
  expect_rc "$name --help" 0
  case $out in
    usage:*) ;;
    *) fail "$name --help said: $out" ;;
  esac
done

# So does a command's --help, for each command of each tool.
for call in "server/quizdesk-examd serve" "server/quizdesk-examd release" \
            "tools/quizdesk-tool check" "tools/quizdesk-tool roster"; do
  run env -u DISPLAY -u QT_QPA_PLATFORM $build/$call --help
  expect_rc "$call --help" 0
  case $out in
    *[Uu]sage:*) ;;
    *) fail "$call --help said: $out" ;;
  esac
done
finish
