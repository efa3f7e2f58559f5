#!/usr/bin/env bash
# Builds the console host and serves the Web Root on https://localhost/ (port 443 as root,
# else set PELLWICK_PORT, for example PELLWICK_PORT=8443). Makes a self-signed certificate
# next to the executable when there is none. Stop it with Ctrl+C.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-packages.sh" linux

build="$top/build/release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLWICK_TESTS=OFF >/dev/null
cmake --build "$build" --target pellwick >/dev/null

exe_folder="$build/app"
if [ ! -f "$exe_folder/server.crt" ] || [ ! -f "$exe_folder/server.key" ]; then
  echo "Making a self-signed certificate for localhost in $exe_folder" >&2
  (cd "$exe_folder" &&
   openssl genrsa -out server.key 2048 2>/dev/null &&
   openssl req -new -x509 -key server.key -out server.crt -days 3650 -subj "/CN=localhost" 2>/dev/null)
fi
if [ "$(id -u)" -ne 0 ] && [ -z "${PELLWICK_PORT:-}" ]; then
  export PELLWICK_PORT=8443
  echo "Not root: serving on port 8443 instead of 443." >&2
fi
exec "$exe_folder/pellwick"
