#!/usr/bin/env bash
# Builds Tessilor and runs every test. Installs its own Debian packages.
#
#   ./test.sh                 normal build in ./build, every test
#   ./test.sh --sanitize      the whole test suite again, built with
#                             AddressSanitizer and UndefinedBehaviorSanitizer
#                             in ./build-asan
#   ./test.sh --fuzz SECONDS  builds the libFuzzer targets with clang in
#                             ./build-fuzz and runs each for SECONDS
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

mode=normal
fuzz_seconds=0
case "${1:-}" in
  "") ;;
  --sanitize) mode=sanitize ;;
  --fuzz)
    mode=fuzz
    fuzz_seconds="${2:-}"
    if ! [[ "$fuzz_seconds" =~ ^[0-9]+$ ]] || [ "$fuzz_seconds" -lt 1 ]; then
      echo "usage: ./test.sh --fuzz SECONDS" >&2; exit 2
    fi ;;
  *) echo "usage: ./test.sh [--sanitize | --fuzz SECONDS]" >&2; exit 2 ;;
esac

install_deps

case "$mode" in
normal)
  build_project build
  cd build
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600
  ;;

sanitize)
  # -O1 keeps the build and the run quick; benchmarks are left out. The
  # package tests only repeat the normal build's.
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DTESSILOR_SANITIZE=ON -DTESSILOR_BUILD_BENCH=OFF
  cmake --build build-asan -j2
  cd build-asan
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
  export LSAN_OPTIONS="suppressions=$PWD/../.ci/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 900 -E '^install_'
  ;;

fuzz)
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DTESSILOR_FUZZ=ON \
    -DTESSILOR_BUILD_TESTS=OFF -DTESSILOR_BUILD_BENCH=OFF -DTESSILOR_BUILD_HELP=OFF
  cmake --build build-fuzz -j2 --target fuzz_all
  export QT_QPA_PLATFORM=offscreen
  # Qt keeps caches (plugins, fonts) for the life of the process; leaks are
  # checked by the sanitizer test run instead.
  export ASAN_OPTIONS="detect_leaks=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  failed=()
  ran=0
  for bin in build-fuzz/bin/fuzz_*; do
    [ -x "$bin" ] || continue
    name="${bin##*/fuzz_}"
    work="build-fuzz/fuzz-work/$name"
    artifacts="build-fuzz/fuzz-artifacts/$name"
    rm -rf "$work"; mkdir -p "$work" "$artifacts"
    echo "== fuzzing $name for ${fuzz_seconds}s"
    # New inputs go to the scratch corpus; the saved one is only read.
    # TESSILOR_FUZZ_SEED fixes the random seed (0, the default, picks one).
    if "$bin" -max_total_time="$fuzz_seconds" -seed="${TESSILOR_FUZZ_SEED:-0}" -timeout=25 -rss_limit_mb=4096 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 \
        "$work" "fuzz/corpus/$name" > "build-fuzz/fuzz-$name.log" 2>&1; then
      grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "build-fuzz/fuzz-$name.log" | tail -2 || true
    else
      tail -60 "build-fuzz/fuzz-$name.log"
      echo "FINDING in $name: see $artifacts/; once fixed, keep the input in fuzz/corpus/$name/"
      failed+=("$name")
    fi
    ran=$((ran + 1))
  done
  passed=$((ran - ${#failed[@]}))
  echo "fuzz: $passed passed, ${#failed[@]} failed"
  [ "$ran" -gt 0 ] && [ ${#failed[@]} -eq 0 ]
  ;;
esac
