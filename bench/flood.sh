#!/usr/bin/env bash
# The flood: opens thousands of silent connections to the console host and prints its
# threads and resident memory before, during and after them, and how long a normal request
# takes meanwhile. It prints figures; it never fails because a machine is slow.
#
#   bench/flood.sh [host binary] [connections..., default 3000 10000]
#
# Without a host binary it builds the console host of this tree (Release). The host runs on
# CPU 0 and the connections come from CPU 1, as in bench/run.sh. Both sides get the hard
# limit of open descriptors as their soft limit.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
host=${1:-}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(3000 10000)

build="$top/build/bench"
# The same OpenSSL as the other builds: the static one that tools/build-openssl.sh makes,
# where the tree has that script.
openssl_options=()
if [ -x "$top/tools/build-openssl.sh" ]; then
  openssl_options=(-DOPENSSL_ROOT_DIR="$("$top/tools/build-openssl.sh" linux | tail -n 1)")
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${openssl_options[@]}" >/dev/null
cmake --build "$build" --target flood_bench pellwick make-certificate >/dev/null
[ -n "$host" ] || host="$build/app/pellwick"

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/exe" "$work/data/Pellwick/Web"
head -c 1024 /dev/urandom | base64 -w 76 | head -c 1024 >"$work/data/Pellwick/Web/index.html"
cp "$host" "$work/exe/pellwick"
"$build/app/make-certificate" /S --folder "$work/exe"

ulimit -n "$(ulimit -Hn)"
port=18445
XDG_DATA_HOME="$work/data" PELLWICK_PORT=$port taskset -c 0 "$work/exe/pellwick" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 500); do
  curl -sk -o /dev/null "https://127.0.0.1:$port/index.html" && break
  sleep 0.02
done

echo "Host: $host"
taskset -c 1 "$build/server/e2e/flood_bench" "$port" "$server_pid" "${counts[@]}"
