#!/usr/bin/env bash
# Installs whatever Debian packages the build, the tests and the demo need and
# are not yet on this machine. Safe to run again: it only asks apt for what is
# missing, so a prepared machine pays a few dpkg queries and nothing else.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-tools-dev qt6-l10n-tools
  libjpeg62-turbo-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation2 fontconfig
  clang lld libclang-rt-14-dev clang-format clang-tidy clang-tools
  libx11-dev
  xvfb xauth xdotool x11-utils openbox x11-xkb-utils xkb-data
  cage xwayland qt6-wayland grim
  python3-pyatspi gir1.2-atspi-2.0 at-spi2-core dbus-daemon
  chromium
  time
  libqt6sql6-sqlite libqt6sql6-psql qt6-httpserver-dev qt6-websockets-dev
  libxlsxwriter-dev postgresql sqlite3 unzip
  pandoc librsvg2-bin dpkg-dev desktop-file-utils appstream systemd lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
