#!/usr/bin/env bash
# The page of quizdesk-tool preview for the demo test, drawn by a real
# browser, headless Chromium, into docs/screenshots/20-preview-page.png.
#
#   scripts/preview-screenshot.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: preview-screenshot.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$build/tools/quizdesk-tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! command -v chromium >/dev/null; then
  echo "preview-screenshot: chromium is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
# The draw of the window's own screenshots (quizdesk-screenshots).
"$tool" preview "$root/examples/demo" -o "$work/preview" --seed 7 >/dev/null
# A fresh profile, nothing from the network, the sandbox off as root.
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --hide-scrollbars --window-size=1000,1100 \
  --screenshot="$work/page.png" "file://$work/preview/index.html" 2>"$work/chromium.log" || {
  cat "$work/chromium.log" >&2
  exit 1
}
cp "$work/page.png" "$root/docs/screenshots/20-preview-page.png"
echo "preview-screenshot: docs/screenshots/20-preview-page.png"
