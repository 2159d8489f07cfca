#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (ASan and UBSan) and runs
# each named target for SECONDS over its corpus. New inputs go to a scratch
# folder; a finding fails the script and leaves its input in
# build-fuzz/artifacts/.
# Usage: scripts/fuzz.sh SECONDS [TARGET ...]   (default: every target)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/compiler_cache.sh
seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET ...]}
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAMBOREL_FUZZ=ON -DTAMBOREL_GUI=OFF "${cache_flags[@]}" \
  -DTAMBOREL_TESTS=OFF
cmake --build build-fuzz --target "${targets[@]}"
mkdir -p build-fuzz/artifacts
for t in "${targets[@]}"; do
  scratch=$(mktemp -d)
  status=0
  build-fuzz/bin/"$t" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
    -artifact_prefix=build-fuzz/artifacts/"$t"- "$scratch" tests/fuzz/corpus/"$t" || status=$?
  rm -rf "$scratch"
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $t found a fault (exit $status)" >&2
    exit 1
  fi
done
