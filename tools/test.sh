#!/usr/bin/env bash
# Installs what the tests need (Debian 12) and runs every test: the Linux build, the same
# build under AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build under
# Wine, whose console host also answers the Linux end-to-end cases; then headless Chromium
# and Firefox against both hosts' certificates, and the release under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tools/common.sh"
jobs=$(nproc)
stage() { printf '\n=== %s (%s)\n' "$1" "$(date +%T)"; }

"$top/tools/install-packages.sh" linux windows fuzz browsers

# configure_and_build <folder> <cmake options...>: every warning is an error here.
configure_and_build() {
  local folder=$1
  shift
  cmake -S "$top" -B "$folder" -G Ninja -DPELLWICK_WARNINGS_AS_ERRORS=ON "$@" >/dev/null
  cmake --build "$folder" -j "$jobs"
}

stage "OpenSSL for Linux"
# The same source as the Windows program's, so that these tests run the library it ships.
linux_openssl=$("$top/tools/build-openssl.sh" linux | tail -n 1)
stage "Linux build"
# Optimised, as a packager builds it: the optimiser's warnings show here too.
configure_and_build "$top/build/linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOPENSSL_ROOT_DIR="$linux_openssl"
stage "Linux tests"
# The cases that run against the Windows host under Wine come last, with Wine set up.
ctest --test-dir "$top/build/linux" -j "$jobs" --output-on-failure -E '^wine\.'

stage "Sanitizer build"
configure_and_build "$top/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DPELLWICK_SANITIZE=address,undefined \
  -DOPENSSL_ROOT_DIR="$linux_openssl"
stage "Sanitizer tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build/sanitize" -j "$jobs" --output-on-failure

stage "ThreadSanitizer build"
# OpenSSL built under ThreadSanitizer too: uninstrumented, its reference counts look racy.
tsan_openssl=$("$top/tools/build-openssl.sh" linux-tsan | tail -n 1)
configure_and_build "$top/build/tsan" -DCMAKE_BUILD_TYPE=Debug -DPELLWICK_SANITIZE=thread \
  -DOPENSSL_ROOT_DIR="$tsan_openssl"
stage "ThreadSanitizer tests"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir "$top/build/tsan" -j "$jobs" --output-on-failure

stage "Fuzzers (a short run; tools/fuzz.sh 600 --keep for a long one)"
"$top/tools/fuzz.sh" 12

stage "Windows build (and its OpenSSL)"
# A port of its own, so that the tests pass for a normal user too; the shipped build uses 443.
pellwick_configure_windows "$top/build/windows" RelWithDebInfo 18443 -DPELLWICK_WARNINGS_AS_ERRORS=ON
cmake --build "$top/build/windows" -j "$jobs"
configure_and_build "$top/build/linux" -DPELLWICK_E2E_WINE_HOST="$top/build/windows/app/pellwick-console.exe"

stage "Windows tests under Wine"
# One at a time: every Windows test program shares the prefix's local application data.
"$top/tools/windows/with-wine" bash -c '
  ctest --test-dir "$1/build/windows" --output-on-failure &&
  ctest --test-dir "$1/build/linux" --output-on-failure -R "^wine\."' windows-tests "$top"

stage "Real browsers: Chromium and Firefox ESR against the Linux host and Pellwick.exe"
"$top/tools/test-browsers.sh" "$top/build/linux" "$top/build/windows"

stage "Release: the installer and the portable zip under Wine, and signing"
"$top/tools/windows/test-release.sh"

stage "All tests passed"
