#!/usr/bin/env bash
# Sets up, builds Debug with AddressSanitizer and UndefinedBehaviorSanitizer,
# gives each fuzz target a short run, then runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/compiler_cache.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAMBOREL_SANITIZE=ON "${cache_flags[@]}"
cmake --build build-test
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# The task runner with real worker threads, under ThreadSanitizer.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAMBOREL_TSAN=ON -DTAMBOREL_GUI=OFF "${cache_flags[@]}"
cmake --build build-tsan --target test_app
TSAN_OPTIONS=halt_on_error=1 build-tsan/bin/test_app --gtest_brief=1

# The fuzz targets, built with clang and libFuzzer, each run briefly over its
# corpus (the seeds and the inputs of past findings).
bash scripts/fuzz.sh 20

# Every test last, so that its summary closes the output.
ctest --test-dir build-test --output-on-failure -j2 --timeout 600
