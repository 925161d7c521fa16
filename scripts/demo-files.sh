#!/usr/bin/env bash
# The demo test's scrambled voprosi.txt and otveti.txt are made from its plain
# sources in examples/demo/source with fixed seeds, by quizdesk-tool.
#
#   scripts/demo-files.sh BUILD_DIR          rewrite examples/demo/*.txt
#   scripts/demo-files.sh BUILD_DIR --check  only compare them (exit 1 if stale)
set -euo pipefail

build=${1:?usage: demo-files.sh BUILD_DIR [--check]}
mode=${2:-write}
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$(cd "$build" && pwd)/tools/quizdesk-tool
demo=$root/examples/demo

declare -A seeds=([voprosi.txt]=1917 [otveti.txt]=2023)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

stale=0
for name in voprosi.txt otveti.txt; do
  cp "$demo/source/$name" "$work/$name"
  "$tool" scramble "$work/$name" --seed "${seeds[$name]}" >/dev/null
  if [ "$mode" = --check ]; then
    if ! cmp -s "$work/$name" "$demo/$name"; then
      echo "examples/demo/$name is not the scrambled form of source/$name (run scripts/demo-files.sh)" >&2
      stale=1
    fi
  else
    cp "$work/$name" "$demo/$name"
    echo "examples/demo/$name: scrambled with seed ${seeds[$name]}"
  fi
done
exit $stale
