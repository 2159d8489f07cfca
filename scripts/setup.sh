#!/usr/bin/env bash
# Installs every Debian package that building, running and testing need.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

packages=(
  # toolchain and test framework
  g++ cmake ninja-build pkg-config ccache libgtest-dev libgmock-dev clang libclang-rt-14-dev
  # libraries the programs use
  libpugixml-dev qt6-base-dev qt6-svg-dev libqt6opengl6-dev libmpv-dev libavformat-dev libssl-dev
  libiberty-dev  # the crash reporter's demangler
  # real peers and tools the tests and benchmarks drive
  nginx-light libnginx-mod-rtmp ffmpeg python3 curl wget lldb openssl
  # a real desktop for the window tests: X server, tray, input, screenshots, fonts
  xvfb xauth trayer xdotool x11-utils imagemagick fonts-dejavu-core dbus
  # browsers the extension's end-to-end tests drive headless
  chromium
  firefox-esr
  nodejs  # runs the extension's own rule tests
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
