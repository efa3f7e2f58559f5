#!/bin/bash
# Builds the QR Code generator library (its C++ part, libqrcodegencpp) as a static library
# for 64-bit Windows with mingw-w64, and prints the install prefix as the last line of
# stdout; everything else goes to stderr:
#
#   PREFIX=$(tools/build-qrcodegen.sh)   PREFIX/include/qrcodegen/qrcodegen.hpp and
#                                        PREFIX/lib/libqrcodegencpp.a
#
# The source is Debian's source package qr-code-generator at exactly the version of the
# libqrcodegencpp-dev that the Linux build links, so that both platforms draw the same
# codes from the same encoder. apt checks the files against the signed archive index.
# Seconds to build; cached afterwards.
#
# Cache, in PELLWICK_CACHE or else ${XDG_CACHE_HOME:-~/.cache}/pellwick, one lock:
#   qrcodegen-<key>   an install; <key> hashes the Debian version, this recipe's revision and
#                     the compiler (its --version and the Debian versions of it and of its
#                     C library). Used only when it holds .complete, written last. Debian
#                     never publishes two different sources under one version.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
exec 3>&1 1>&2

recipe=1  # raise when the steps below change what gets built
"$here/install-packages.sh" linux windows
version=$(dpkg-query -W -f='${Version}' libqrcodegencpp-dev)
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
compile=(x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -DNDEBUG)

cache=${PELLWICK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pellwick}
sources_entry=/etc/apt/sources.list.d/pellwick-qrcodegen-source.sources
mkdir -p "$cache"
exec 9>"$cache/qrcodegen.lock"
flock 9  # one build and one change to apt's sources at a time

key=$({
    echo "recipe $recipe qr-code-generator $version"
    printf '%s\n' "${compile[@]}"
    "${compile[0]}" --version
    dpkg-query -W -f='${Package} ${Version}\n' g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev 2>/dev/null || true
} | sha256sum | cut -c1-16)
install="$cache/qrcodegen-$key"
if [ -f "$install/.complete" ]; then
    echo "build-qrcodegen: QR Code generator $version for Windows: $install"
    echo "$install" >&3
    exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/pellwick-qrcodegen.XXXXXX")
cleanup() {
    pellwick_remove_source_entry "$sources_entry"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "build-qrcodegen: QR Code generator $version (Debian $suite source) for Windows: building into $install"
pellwick_add_source_entry "$sources_entry" "$suite" || pellwick_die "apt cannot reach the source packages of $suite"
mkdir "$work/download"
# apt downloads as its own user when it can write the folder.
if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then chown _apt "$work/download"; fi
# The archive reachable here serves the .dsc and the upstream tarball but not always Debian's
# own .debian.tar.xz (404): its patches add only a compatibility layer behind
# QRCODEGEN_COMPAT, which nothing here defines, so the upstream tarball, checked against the
# .dsc's sha256, builds the same encoder.
(cd "$work/download" && apt-get source -qq --download-only "qr-code-generator=$version") >"$work/download.log" 2>&1 ||
    true
pellwick_remove_source_entry "$sources_entry"
dsc=$(echo "$work"/download/qr-code-generator_*.dsc)
[ -f "$dsc" ] || { cat "$work/download.log"; pellwick_die "apt gave no qr-code-generator source $version"; }
if dpkg-source -x "$dsc" "$work/source" >"$work/unpack.log" 2>&1; then
    patches="Debian's patches: $(tr '\n' ' ' <"$work/source/debian/patches/series" 2>/dev/null)"
else
    orig=$(echo "$work"/download/qr-code-generator_*.orig.tar.gz)
    [ -f "$orig" ] || { cat "$work/download.log"; pellwick_die "apt gave no qr-code-generator tarball $version"; }
    grep -q "^ $(sha256sum "$orig" | cut -c1-64) " "$dsc" ||
        pellwick_die "$(basename "$orig") does not match the sha256 in $(basename "$dsc")"
    mkdir "$work/source"
    tar -xzf "$orig" -C "$work/source" --strip-components=1
    patches="the upstream tarball as the .dsc names it (Debian's .debian.tar.xz did not download)"
fi

rm -rf "$install"
mkdir -p "$install/lib" "$install/include/qrcodegen"
"${compile[@]}" -c "$work/source/cpp/qrcodegen.cpp" -o "$work/qrcodegen.o"
x86_64-w64-mingw32-ar rcs "$install/lib/libqrcodegencpp.a" "$work/qrcodegen.o"
cp "$work/source/cpp/qrcodegen.hpp" "$install/include/qrcodegen/"
{
    echo "debian source: qr-code-generator $version from $suite; $patches"
    echo "dsc sha256: $(sha256sum "$dsc" | cut -c1-64)"
    echo "compiled: ${compile[*]} cpp/qrcodegen.cpp"
} >"$install/BUILD-INFO"
touch "$install/.complete"
echo "build-qrcodegen: QR Code generator $version for Windows: $install"
echo "$install" >&3
