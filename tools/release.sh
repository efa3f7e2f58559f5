#!/usr/bin/env bash
# Builds what a Windows user downloads, into dist/:
#
#   Pellwick-<version>-setup.exe   the installer (per user, no administrator rights)
#   Pellwick-<version>-win64.zip   the portable folder
#
#   tools/release.sh [--port N] [--out folder]
#
# Release configuration, the port of pellwick.conf (443; --port gives a test build another
# one). The version, the publisher and the developer's address are pellwick.conf's. With
# PELLWICK_SIGN_PFX and PELLWICK_SIGN_PASSWORD (see tools/windows/sign.sh) the programs, the
# uninstaller and the installer are signed and verified; without them everything is built
# unsigned, and it says so.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tools/common.sh"
started=$(date +%s)

port=$(pellwick_name https_port)
out="$top/dist"
while [ $# -gt 0 ]; do
  case "$1" in
    --port) port=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: $0 [--port N] [--out folder]" >&2; exit 2 ;;
  esac
done

"$top/tools/install-packages.sh" linux windows release

build="$top/build/windows-release-$port"
echo "Building Pellwick.exe and MakeCertificate.exe (Release, port $port) in $build" >&2
pellwick_configure_windows "$build" Release "$port" -DPELLWICK_TESTS=OFF
cmake --build "$build" --target Pellwick MakeCertificate >/dev/null
. "$build/release-variables.sh"

name="Pellwick-$version"
stage="$build/stage/$name-win64"
rm -rf "$build/stage"
mkdir -p "$stage" "$out"
out=$(cd "$out" && pwd)  # the zip is made from inside the stage folder
# Symbols stay in the build folder; what ships is stripped.
x86_64-w64-mingw32-strip -o "$stage/Pellwick.exe" "$pellwick_exe"
x86_64-w64-mingw32-strip -o "$stage/MakeCertificate.exe" "$helper_exe"
# Notepad on older Windows shows a text only with CR LF line ends.
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$top/tools/windows/release/README.txt" >"$stage/README.txt"

signing=no
if "$top/tools/windows/sign.sh" --enabled; then
  signing=yes
  "$top/tools/windows/sign.sh" "$stage/Pellwick.exe" "$stage/MakeCertificate.exe"
fi

setup="$out/$name-setup.exe"
zip="$out/$name-win64.zip"
rm -f "$setup" "$zip"
defines=(-DNAMES="$names_nsh" -DSTAGE="$stage" -DICON="$icon" -DOUTFILE="$setup"
         -DWELCOME_BITMAP="$welcome_bitmap")
[ $signing = yes ] && defines+=(-DSIGN="$top/tools/windows/sign.sh")
makensis -V2 -INPUTCHARSET UTF8 "${defines[@]}" "$top/tools/windows/release/pellwick.nsi" >&2
[ $signing = yes ] && "$top/tools/windows/sign.sh" "$setup"
(cd "$build/stage" && zip -q -X -r "$zip" "$name-win64")

for file in "$setup" "$zip"; do
  printf '%s  %s bytes\n' "$file" "$(stat -c %s "$file")" >&2
done
if [ $signing = yes ]; then
  echo "Signed: Pellwick.exe, MakeCertificate.exe, the uninstaller and the installer." >&2
else
  echo "UNSIGNED: no code-signing certificate given (PELLWICK_SIGN_PFX, PELLWICK_SIGN_PASSWORD)." >&2
fi
echo "Done in $(( $(date +%s) - started )) s." >&2
