#!/usr/bin/env bash
# The anchor of the window benchmark: qBittorrent from Debian's packages.
set -euo pipefail
if ! dpkg-query -W -f='${Status}' qbittorrent 2>/dev/null | grep -q 'install ok installed'; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends qbittorrent
fi
