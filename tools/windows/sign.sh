#!/bin/bash
# Signs Windows executables in place with Authenticode (osslsigncode) and verifies each
# signature, when the maintainer gives a code-signing certificate:
#
#   PELLWICK_SIGN_PFX=<file.pfx> PELLWICK_SIGN_PASSWORD=<password> tools/windows/sign.sh <file.exe>...
#
#   PELLWICK_SIGN_CAFILE     (optional) PEM file of the roots the verification trusts;
#                            the system's bundle when not set
#   PELLWICK_SIGN_TIMESTAMP  (optional) an RFC 3161 time-stamping service's URL, so that
#                            the signature stays valid after the certificate expires
#
# Without PELLWICK_SIGN_PFX it does nothing and exits 0; `sign.sh --enabled` says whether
# signing is set up (exit 0 yes, 1 no).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"

if [ "${1:-}" = --enabled ]; then
    [ -n "${PELLWICK_SIGN_PFX:-}" ]
    exit
fi
[ -n "${PELLWICK_SIGN_PFX:-}" ] || exit 0
[ -f "$PELLWICK_SIGN_PFX" ] || pellwick_die "PELLWICK_SIGN_PFX names no file: $PELLWICK_SIGN_PFX"

# The password reaches osslsigncode in a file that only this user can read, removed however
# the run ends, not on its command line, which any user's ps shows. (osslsigncode reads no
# empty password from a file; a file without one needs none.)
password=()
if [ -n "${PELLWICK_SIGN_PASSWORD:-}" ]; then
    secrets=$(mktemp -d "${TMPDIR:-/tmp}/pellwick-sign.XXXXXX")
    trap 'rm -rf "$secrets"' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    (umask 077 && printf '%s' "$PELLWICK_SIGN_PASSWORD" >"$secrets/password")
    password=(-readpass "$secrets/password")
fi

for file in "$@"; do
    options=(-pkcs12 "$PELLWICK_SIGN_PFX" "${password[@]}" -h sha256 -n "Pellwick" -i "$(pellwick_name developer_url)")
    if [ -n "${PELLWICK_SIGN_TIMESTAMP:-}" ]; then options+=(-ts "$PELLWICK_SIGN_TIMESTAMP"); fi
    rm -f "$file.signed"
    osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null ||
        { rm -f "$file.signed"; pellwick_die "signing failed: $file"; }
    mv "$file.signed" "$file"
    verify=(-in "$file")
    if [ -n "${PELLWICK_SIGN_CAFILE:-}" ]; then verify+=(-CAfile "$PELLWICK_SIGN_CAFILE"); fi
    log=$(osslsigncode verify "${verify[@]}" 2>&1) || { echo "$log" >&2; pellwick_die "signature does not verify: $file"; }
    echo "signed and verified: $(basename "$file")" >&2
done
