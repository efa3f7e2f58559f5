#!/usr/bin/env bash
# Installs what the tests need (Debian 12) and runs every test: the Linux build, the same
# build under AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build under
# Wine, whose console host also answers the Linux end-to-end cases.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
stage() { printf '\n=== %s (%s)\n' "$1" "$(date +%T)"; }

"$top/tools/install-packages.sh" linux windows fuzz

# configure_and_build <folder> <cmake options...>
configure_and_build() {
  local folder=$1
  shift
  cmake -S "$top" -B "$folder" -G Ninja "$@" >/dev/null
  cmake --build "$folder" -j "$jobs"
}

stage "Linux build"
configure_and_build "$top/build/linux" -DCMAKE_BUILD_TYPE=Debug
stage "Linux tests"
ctest --test-dir "$top/build/linux" -j "$jobs" --output-on-failure

stage "Sanitizer build"
configure_and_build "$top/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DPELLWICK_SANITIZE=address,undefined
stage "Sanitizer tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build/sanitize" -j "$jobs" --output-on-failure

stage "Fuzzers (a short run; tools/fuzz.sh 600 --keep for a long one)"
"$top/tools/fuzz.sh" 12

stage "All tests passed"
