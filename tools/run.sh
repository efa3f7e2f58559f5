#!/usr/bin/env bash
# Builds and starts Pellwick.
#
#   tools/run.sh            the console host: serves the Web Root on https://localhost/
#                           (port 443 as root; a normal user gets 8443 unless PELLWICK_PORT
#                           says otherwise) until Ctrl+C
#   tools/run.sh --windows  the Windows program, Pellwick.exe, under Wine on this desktop
#                           (DISPLAY must name an X display; port 443 as root, else 8443)
#
# Next to the executable, the certificate maker makes this computer's own certificate
# authority (Pellwick-authority.crt and its key) and the server pair it signs, or renews a
# pair of its own that is due; a pair placed by hand is left as it is. Then the script
# prints the certutil commands that make this user's browsers trust the authority; it
# never runs them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tools/common.sh"

# Exit codes of the maker (pellwick.conf): done, or a pair placed by hand; anything else
# stops here, after the maker's own message.
check_maker_exit() {  # code
  local exit_done exit_user_pair
  exit_done=$(. "$top/pellwick.conf" && echo "$exit_done")
  exit_user_pair=$(. "$top/pellwick.conf" && echo "$exit_user_pair")
  [ "$1" = "$exit_done" ] || [ "$1" = "$exit_user_pair" ] ||
    { echo "The certificate maker ended with exit code $1 (see pellwick.conf)." >&2; exit 1; }
}

# One command for Chromium's database and one for each Firefox profile, which keeps its own.
print_trust_commands() {  # authority certificate
  [ -f "$1" ] || return 0
  local nick="Pellwick local authority" found=0 profile
  echo "To make your browsers trust $1 (certutil is in the package libnss3-tools):" >&2
  if [ ! -f "$HOME/.pki/nssdb/cert9.db" ]; then
    echo "  mkdir -p ~/.pki/nssdb && certutil -d sql:\$HOME/.pki/nssdb -N --empty-password" >&2
  fi
  echo "  certutil -d sql:\$HOME/.pki/nssdb -A -t C,, -n '$nick' -i '$1'    # Chromium" >&2
  for profile in "$HOME"/.mozilla/firefox/*/; do
    [ -f "$profile/cert9.db" ] || continue
    echo "  certutil -d 'sql:${profile%/}' -A -t C,, -n '$nick' -i '$1'    # Firefox" >&2
    found=1
  done
  [ "$found" = 1 ] || echo "  (no Firefox profile found in ~/.mozilla/firefox)" >&2
  echo "Then restart the browser." >&2
}

# Puts the installer's first page into the Web Root when that holds nothing (or is not there
# yet), so that a first start shows a page and not "index.html not found"; a Web Root with
# anything in it is the user's and is left as it is.
put_first_page_into_empty_web_root() {  # web root
  mkdir -p "$1"
  [ -n "$(ls -A "$1")" ] && return 0
  cp "$top/tools/windows/release/index.html" "$1/index.html"
  echo "Put a first page into the empty Web Root $1" >&2
}

if [ "${1:-}" = --windows ]; then
  "$top/tools/install-packages.sh" linux windows
  port=$(pellwick_name https_port)
  [ "$(id -u)" -ne 0 ] && port=8443
  build="$top/build/windows-run-$port"
  pellwick_configure_windows "$build" Release "$port" -DPELLWICK_TESTS=OFF
  cmake --build "$build" --target Pellwick MakeCertificate >/dev/null
  pellwick_wine_settings
  # The Windows maker, so that the authority's key is encrypted for this Wine account as
  # Pellwick.exe expects; /S: its exit code answers instead of a box.
  code=0
  wine "$build/app/MakeCertificate.exe" /S || code=$?
  check_maker_exit "$code"
  [ "$code" != 0 ] || print_trust_commands "$build/app/Pellwick-authority.crt"
  put_first_page_into_empty_web_root "${WINEPREFIX:-$HOME/.wine}/drive_c/users/$(id -un)/AppData/Local/Pellwick/Web"
  echo "Starting Pellwick.exe (https://localhost:$port/) under Wine" >&2
  exec wine "$build/app/Pellwick.exe"
fi

"$top/tools/install-packages.sh" linux
openssl_prefix=$("$top/tools/build-openssl.sh" linux | tail -n 1)
build="$top/build/release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLWICK_TESTS=OFF \
  -DOPENSSL_ROOT_DIR="$openssl_prefix" >/dev/null
cmake --build "$build" --target pellwick make-certificate >/dev/null
code=0
"$build/app/make-certificate" || code=$?
check_maker_exit "$code"
[ "$code" != 0 ] || print_trust_commands "$build/app/Pellwick-authority.crt"
if [ "$(id -u)" -ne 0 ] && [ -z "${PELLWICK_PORT:-}" ]; then
  export PELLWICK_PORT=8443
  echo "Not root: serving on port 8443 instead of 443." >&2
fi
# The Web Root as the host finds it: an explicit XDG data home counts only when absolute.
data_home=${XDG_DATA_HOME:-}
[[ "$data_home" == /* ]] || data_home="$HOME/.local/share"
put_first_page_into_empty_web_root "$data_home/Pellwick/Web"
exec "$build/app/pellwick"
