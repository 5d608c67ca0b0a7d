#!/usr/bin/env bash
# Builds and runs every test: installs what is missing, then an AddressSanitizer + UndefinedBehaviorSanitizer
# build of everything with its tests, then every libFuzzer target for a short bounded time.
#   tools/test.sh            the full run (what CI runs)
#   tools/test.sh --tsan     a ThreadSanitizer build, running the tests labelled "concurrency"
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${OV_JOBS:-$(nproc)}

bash tools/setup.sh

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

run_ctest() {  # build_dir [ctest args...]
  local dir=$1; shift
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$jobs" "$@"
}

if [ "${1:-}" = "--tsan" ]; then
  cmake -S . -B build/tsan -DOV_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOV_BUILD_BENCH=OFF
  cmake --build build/tsan -j "$jobs"
  run_ctest build/tsan -L concurrency
  exit 0
fi

cmake -S . -B build/asan -DOV_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/asan -j "$jobs"
run_ctest build/asan

CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -DOV_FUZZ=ON -DOV_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/fuzz -j "$jobs"
bash tools/run_fuzzers.sh build/fuzz/fuzzers "${OV_FUZZ_SECONDS:-15}"
