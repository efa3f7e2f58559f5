#!/usr/bin/env bash
# Builds and starts Pellwick.
#
#   tools/run.sh            the console host: serves the Web Root on https://localhost/
#                           (port 443 as root; a normal user gets 8443 unless PELLWICK_PORT
#                           says otherwise) until Ctrl+C
#   tools/run.sh --windows  the Windows program, Pellwick.exe, under Wine on this desktop
#                           (DISPLAY must name an X display; port 443 as root, else 8443)
#
# Makes a self-signed certificate next to the executable when there is none, for the same
# names as the one the Windows installer makes: localhost, 127.0.0.1 and ::1.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tools/common.sh"

make_certificate() {  # folder
  [ -f "$1/server.crt" ] && [ -f "$1/server.key" ] && return 0
  echo "Making a self-signed certificate for localhost, 127.0.0.1 and ::1 in $1" >&2
  local output
  # Browsers look only at the subjectAltName entries, never at the common name.
  output=$(cd "$1" 2>&1 &&
   openssl genrsa -out server.key 2048 2>&1 &&
   openssl req -new -x509 -key server.key -out server.crt -days 825 -subj "/CN=localhost" \
     -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" -addext "basicConstraints=critical,CA:FALSE" \
     -addext "extendedKeyUsage=serverAuth" 2>&1) ||
    { printf '%s\n' "$output" >&2; pellwick_die "could not make the certificate in $1"; }
}

if [ "${1:-}" = --windows ]; then
  "$top/tools/install-packages.sh" linux windows
  port=$(pellwick_name https_port)
  [ "$(id -u)" -ne 0 ] && port=8443
  build="$top/build/windows-run-$port"
  pellwick_configure_windows "$build" Release "$port" -DPELLWICK_TESTS=OFF
  cmake --build "$build" --target Pellwick >/dev/null
  make_certificate "$build/app"
  echo "Starting Pellwick.exe (https://localhost:$port/) under Wine" >&2
  pellwick_wine_settings
  exec wine "$build/app/Pellwick.exe"
fi

"$top/tools/install-packages.sh" linux
openssl_prefix=$("$top/tools/build-openssl.sh" linux | tail -n 1)
build="$top/build/release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLWICK_TESTS=OFF \
  -DOPENSSL_ROOT_DIR="$openssl_prefix" >/dev/null
cmake --build "$build" --target pellwick >/dev/null
make_certificate "$build/app"
if [ "$(id -u)" -ne 0 ] && [ -z "${PELLWICK_PORT:-}" ]; then
  export PELLWICK_PORT=8443
  echo "Not root: serving on port 8443 instead of 443." >&2
fi
exec "$build/app/pellwick"
