#!/usr/bin/env bash
# The results page of the example exam (examples/analysis), written by
# quizdesk-tool results and drawn by a real browser, headless Chromium, into
# docs/screenshots/11-results-page.png.
#
#   scripts/results-screenshot.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: results-screenshot.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$build/tools/quizdesk-tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! command -v chromium >/dev/null; then
  echo "results-screenshot: chromium is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
"$tool" results "$root/examples/demo" --reports "$root/examples/analysis/reports" --html "$work/results.html"
# A fresh profile, nothing from the network, the sandbox off as root.
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --hide-scrollbars --window-size=900,1500 \
  --screenshot="$work/page.png" "file://$work/results.html" 2>"$work/chromium.log" || {
  cat "$work/chromium.log" >&2
  exit 1
}
cp "$work/page.png" "$root/docs/screenshots/11-results-page.png"
echo "results-screenshot: docs/screenshots/11-results-page.png"
