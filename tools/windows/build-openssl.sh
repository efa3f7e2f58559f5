#!/bin/bash
# Builds OpenSSL 3 for 64-bit Windows as static libraries (libssl.a, libcrypto.a and the
# headers) and prints the install prefix as the last line of stdout; everything else goes
# to stderr:
#
#   PREFIX=$(tools/windows/build-openssl.sh)
#
# The source is the upstream tarball exactly as Debian 12 ships it: the orig tarball of
# bookworm's "openssl" source package, which apt checks against the signed archive index.
# Debian's patches are not applied. About 2 minutes on two cores; cached afterwards.
#
# Cache, in PELLWICK_CACHE or else ${XDG_CACHE_HOME:-~/.cache}/pellwick:
#   openssl-<key>            an install; <key> hashes the orig tarball's sha256, the
#                            Configure options, this recipe's revision and the compiler
#                            (its --version and the Debian versions of it and of the
#                            mingw-w64 headers and libraries). Used only when it holds
#                            .complete, written last.
#   openssl-v<version>-<build key>
#                            link from a Debian source version to the install made from it.
# The link lets a second run skip the download: it looks up the version that the
# machine's apt lists give for openssl in bookworm/main. Debian never publishes two
# different sources under one version, and the link was written only after apt had checked
# the files of exactly that version, so the version stands for the tarball's content.
# When the lists are missing or name a version not yet built, the run downloads and
# builds (or finds the install by content). A newer point release is picked up after
# `apt-get update`.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
exec 3>&1 1>&2

recipe=1  # raise when the steps below change what gets built
options=(mingw64 --cross-compile-prefix=x86_64-w64-mingw32- no-shared no-tests no-autoload-config no-engine
    no-module no-legacy)
cache=${PELLWICK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pellwick}
sources_entry=/etc/apt/sources.list.d/pellwick-openssl-source.sources

pellwick_install_packages
mkdir -p "$cache"
exec 9>"$cache/openssl.lock"
flock 9  # one build and one change to apt's sources at a time

compiler_identity() {
    x86_64-w64-mingw32-gcc-posix --version
    dpkg-query -W -f='${Package} ${Version}\n' gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev 2>/dev/null || true
}
build_key=$({ echo "recipe $recipe"; printf '%s\n' "${options[@]}"; compiler_identity; } | sha256sum | cut -c1-16)

complete() {
    [ -f "$1/.complete" ]
}

finish() {
    echo "$1" >&3
    exit 0
}

# bookworm/main's version as the apt lists say, epoch dropped as in file names; empty
# when the lists are missing.
listed_version=$(apt-cache madison openssl 2>/dev/null |
    awk -F' *[|] *' '$3 ~ / bookworm\/main .*Packages$/ { print $2; exit }' || true)
listed_version=${listed_version#*:}
if [ -n "$listed_version" ] && complete "$cache/openssl-v$listed_version-$build_key"; then
    finish "$(readlink -f "$cache/openssl-v$listed_version-$build_key")"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/pellwick-openssl.XXXXXX")
remove_sources_entry() {
    if [ -f "$sources_entry" ]; then
        pellwick_as_root rm -f "$sources_entry"
        pellwick_as_root apt-get update -qq || true
    fi
}
cleanup() {
    remove_sources_entry
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

pellwick_as_root tee "$sources_entry" >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
pellwick_as_root apt-get update -qq
# apt downloads as its own user when it can write the folder.
if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then chown _apt "$work"; fi
(cd "$work" && apt-get source -qq --download-only openssl)
remove_sources_entry

dsc=$(echo "$work"/openssl_*.dsc)
orig=$(echo "$work"/openssl_*.orig.tar.gz)
if [ ! -f "$dsc" ] || [ ! -f "$orig" ]; then
    pellwick_die "apt-get source gave no single openssl .dsc and orig tarball"
fi
source_version=$(basename "$dsc" .dsc)
source_version=${source_version#openssl_}
orig_sha256=$(sha256sum "$orig" | cut -c1-64)
key=$(printf '%s\n' "$orig_sha256" "$build_key" | sha256sum | cut -c1-16)
install="$cache/openssl-$key"

if ! complete "$install"; then
    echo "build-openssl: building $(basename "$orig") (Debian $source_version) into $install"
    rm -rf "$install"
    mkdir "$work/build"
    tar -xzf "$orig" -C "$work/build" --strip-components=1
    # The prefix ends up inside libcrypto (OPENSSLDIR); no-autoload-config keeps the
    # library from reading an openssl.cnf there, a drive-relative path on Windows.
    (cd "$work/build" &&
        perl Configure "${options[@]}" --prefix="$install" --libdir=lib &&
        make -j"${PELLWICK_JOBS:-2}" build_libs &&
        make install_dev) >"$work/build.log" 2>&1 ||
        { tail -n 40 "$work/build.log"; pellwick_die "OpenSSL build failed"; }
    {
        echo "debian source: openssl $source_version (orig tarball only, no Debian patches)"
        echo "orig sha256: $orig_sha256"
        echo "configure: ${options[*]} --prefix=$install --libdir=lib"
        compiler_identity
    } >"$install/BUILD-INFO"
    touch "$install/.complete"
fi
ln -sfn "openssl-$key" "$cache/openssl-v$source_version-$build_key"
finish "$install"
