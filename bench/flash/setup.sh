#!/usr/bin/env bash
# What the playback benchmark needs beyond the project's own set-up: mpv, the
# program it measures against.
set -euo pipefail
if ! dpkg-query -W -f='${Status}' mpv 2>/dev/null | grep -q 'install ok installed'; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends mpv
fi
