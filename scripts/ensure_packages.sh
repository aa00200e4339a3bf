#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the window program need.
# Runs apt-get only when something is missing, so a second run costs nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format-15 pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth imagemagick fonts-liberation2 fonts-dejavu-core dbus
  openbox xdotool wmctrl x11-utils
  qt6-serialport-dev direwolf socat iproute2
  libqt6sql6-sqlite libqt6sql6-psql postgresql-15 sqlite3 libsqlite3-dev libpq-dev libssl-dev
  libtomlplusplus-dev
  qt6-httpserver-dev qt6-websockets-dev libjs-chart.js wrk
  chromium chromium-driver python3-selenium firefox-esr
  lintian desktop-file-utils appstream shared-mime-info dpkg-dev fakeroot file
  libglib2.0-bin libxml2-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing missing packages: ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
