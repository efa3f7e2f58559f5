#!/usr/bin/env bash
# Runs every fuzzer for a while under AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   tools/fuzz.sh [seconds per fuzzer, default 15] [--keep]
#
# The fuzzers start from the corpus in fuzz/corpus/ and work on a copy of it; with --keep the
# inputs that reached new code are merged back into fuzz/corpus/ (commit them). A crash
# leaves its input in build/fuzz/findings/ and fails the run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=15
keep=no
for argument in "$@"; do
  case "$argument" in
    --keep) keep=yes ;;
    *[!0-9]* | "") echo "usage: $0 [seconds per fuzzer] [--keep]" >&2; exit 2 ;;
    *) seconds=$argument ;;
  esac
done
"$top/tools/install-packages.sh" linux fuzz

openssl_prefix=$("$top/tools/build-openssl.sh" linux | tail -n 1)
build="$top/build/fuzz"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLWICK_TESTS=OFF \
  -DPELLWICK_FUZZ=ON -DPELLWICK_SANITIZE=address,undefined -DPELLWICK_WARNINGS_AS_ERRORS=ON -DOPENSSL_ROOT_DIR="$openssl_prefix" >/dev/null
# The build's output shows only when it fails: a compiler error must not end the run unsaid.
cmake --build "$build" >"$build/build.log" 2>&1 || { tail -n 40 "$build/build.log" >&2; exit 1; }

findings="$build/findings"
mkdir -p "$findings"
# Each fuzzer's working copy of its corpus lives below one folder, removed however the run
# ends (Ctrl+C included).
scratch=$(mktemp -d "${TMPDIR:-/tmp}/pellwick-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
for fuzzer in "$build"/fuzz/*_fuzzer; do
  name=$(basename "$fuzzer" _fuzzer)
  work="$scratch/$name"
  mkdir -p "$work"
  mkdir -p "$top/fuzz/corpus/$name"
  cp -r "$top/fuzz/corpus/$name/." "$work/"
  echo "fuzzing $name for ${seconds}s" >&2
  status=0
  (cd "$findings" && "$fuzzer" -max_total_time="$seconds" -max_len=16384 -print_final_stats=1 "$work" 2>"$build/$name.log") ||
    status=$?
  grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$build/$name.log" | sed "s/^/  $name /" >&2 || true
  if [ "$status" -ne 0 ]; then
    tail -40 "$build/$name.log" >&2
    echo "$name failed; its input is in $findings" >&2
    exit 1
  fi
  if [ "$keep" = yes ]; then
    "$fuzzer" -merge=1 "$top/fuzz/corpus/$name" "$work" 2>/dev/null
  fi
  rm -rf "$work"
done
echo "fuzzing passed" >&2
