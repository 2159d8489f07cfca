#!/usr/bin/env bash
# Sets up, builds Release and starts the program. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBOREL_TESTS=OFF
cmake --build build
if [ -x build/bin/Tamborel ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display to open the window on; download from the command line instead: build/bin/tamborel-get URL"
    exit 1
  fi
  exec build/bin/Tamborel "$@"
elif [ -x build/bin/tamborel-get ]; then
  if [ $# -eq 0 ]; then
    echo "The window program is not built yet; this is the command-line downloader:"
    exec build/bin/tamborel-get --help
  fi
  exec build/bin/tamborel-get "$@"
else
  echo "Built the engines; no program to run yet (the downloader and the window come next)."
fi
