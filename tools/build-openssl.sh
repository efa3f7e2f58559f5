#!/bin/bash
# Builds OpenSSL as static libraries (libssl.a, libcrypto.a and the headers) for one target
# and prints the install prefix as the last line of stdout; everything else goes to stderr:
#
#   PREFIX=$(tools/build-openssl.sh windows)   64-bit Windows, cross-compiled with mingw-w64
#   PREFIX=$(tools/build-openssl.sh linux)     this Linux machine (x86_64), with gcc; also
#                                              the `openssl` command in PREFIX/bin
#   PREFIX=$(tools/build-openssl.sh linux-tsan) the same under ThreadSanitizer, for the
#                                              ThreadSanitizer build of the tests
#
# Both targets are built from one source: the newest OpenSSL 3.5 (the long-term-support
# line) that Debian 13 "trixie" ships, so that the Linux tests exercise the library that the
# Windows program ships with. The source is trixie's "openssl" source package, which apt
# checks against the signed archive index, unpacked by dpkg-source with Debian's patches
# applied: Debian carries the security fixes released after its upstream version as patches
# (3.5.7-1~deb13u2: ten CVE fixes that upstream's 3.5.7 tarball lacks), and its other
# patches touch only what these builds do not use (Debian's own Configure targets, manual
# sections, shared-library linking, 32-bit x86 assembly, c_rehash). About 2 minutes
# (Windows) or 4 (Linux, with the command) on two cores; cached afterwards.
#
# Cache, in PELLWICK_CACHE or else ${XDG_CACHE_HOME:-~/.cache}/pellwick, one lock for all:
#   openssl-source-<version>  the files apt downloaded for Debian source version <version>
#   openssl-source-current    the version that was newest when apt was last asked; apt is
#                             asked again when it is a day old (PELLWICK_OPENSSL_REFRESH=1:
#                             now), or the cached source is used when apt cannot be reached
#   openssl-<key>             an install; <key> hashes the .dsc (which holds the sha256 of
#                             the orig tarball and of Debian's patches), the target,
#                             the Configure options, this recipe's revision and the compiler
#                             (its --version and the Debian versions of it and of its C
#                             library). Used only when it holds .complete, written last.
#   openssl-v<version>-<build key>
#                             link from a Debian source version to the install made from it,
#                             so that a run with a fresh openssl-source-current builds nothing.
# Debian never publishes two different sources under one version, and apt checked the files
# of exactly that version, so the version stands for the tarball's content.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
exec 3>&1 1>&2

target=${1:-}
recipe=3  # raise when the steps below change what gets built
suite=trixie
common_options=(no-shared no-tests no-autoload-config no-engine no-module no-legacy)
case "$target" in
    windows)
        "$here/install-packages.sh" windows
        options=(mingw64 --cross-compile-prefix=x86_64-w64-mingw32- "${common_options[@]}")
        compiler_identity() {
            x86_64-w64-mingw32-gcc-posix --version
            dpkg-query -W -f='${Package} ${Version}\n' gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev 2>/dev/null || true
        }
        make_targets=(build_libs)
        ;;
    linux | linux-tsan)
        "$here/install-packages.sh" linux
        export CC=gcc
        options=(linux-x86_64 "${common_options[@]}")
        compiler_identity() {
            gcc --version
            dpkg-query -W -f='${Package} ${Version}\n' gcc libc6-dev 2>/dev/null || true
        }
        # The command lets a test act as a client with exactly the library's choices.
        make_targets=(build_libs apps/openssl)
        if [ "$target" = linux-tsan ]; then
            # ThreadSanitizer sees OpenSSL's locks and atomics only when they are
            # instrumented, and even then takes the last free of a shared object (the
            # server's SSL_CTX) for a race: it does not model the acquire fence that
            # orders that free. OSSL_TSAN_BUILD makes the reference counts acquire-release.
            options+=(-fsanitize=thread -DOSSL_TSAN_BUILD)
            make_targets=(build_libs)
        fi
        ;;
    *)
        pellwick_die "usage: $(basename "$0") windows|linux|linux-tsan"
        ;;
esac
cache=${PELLWICK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pellwick}
sources_entry=/etc/apt/sources.list.d/pellwick-openssl-source.sources

mkdir -p "$cache"
exec 9>"$cache/openssl.lock"
flock 9  # one build and one change to apt's sources at a time

build_key=$({ echo "recipe $recipe $target"; printf '%s\n' "${options[@]}"; compiler_identity; } |
    sha256sum | cut -c1-16)

complete() {
    [ -f "$1/.complete" ]
}

work=$(mktemp -d "${TMPDIR:-/tmp}/pellwick-openssl.XXXXXX")
remove_sources_entry() {
    pellwick_remove_source_entry "$sources_entry"
}
cleanup() {
    remove_sources_entry
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Downloads the newest openssl source of $suite that the archive serves into
# $cache/openssl-source-<version> and records that version as current. Fails when apt
# cannot reach the archive or no version downloads.
fetch_source() {
    local versions version download
    pellwick_add_source_entry "$sources_entry" "$suite" || return 1
    versions=$(apt-cache showsrc --only-source openssl 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -rV)
    download="$work/download"
    mkdir "$download"
    # apt downloads as its own user when it can write the folder.
    if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then chown _apt "$download"; fi
    for version in $versions; do
        # apt's own lines on a failed download are left out: the one below says it.
        if (cd "$download" && apt-get source -qq --download-only "openssl=$version") >"$work/download.log" 2>&1; then
            remove_sources_entry
            version=${version#*:}
            rm -rf "$cache/openssl-source-$version"
            mkdir "$cache/openssl-source-$version"
            cp "$download"/openssl_* "$cache/openssl-source-$version/"
            touch "$cache/openssl-source-$version/.complete"
            echo "$version" >"$cache/openssl-source-current"
            return 0
        fi
        echo "build-openssl: openssl $version is listed in $suite but does not download; trying an older one"
        rm -rf "${download:?}"/*
    done
    remove_sources_entry
    return 1
}

current=$cache/openssl-source-current
if [ "${PELLWICK_OPENSSL_REFRESH:-0}" = 1 ] || [ ! -f "$current" ] ||
    [ -n "$(find "$current" -mmin +1440)" ] || ! complete "$cache/openssl-source-$(cat "$current")"; then
    if ! fetch_source; then
        if [ -f "$current" ] && complete "$cache/openssl-source-$(cat "$current")"; then
            echo "build-openssl: apt gave no openssl source of $suite; using the cached $(cat "$current")"
        else
            pellwick_die "apt gave no openssl source of $suite and none is cached"
        fi
    fi
fi
source_version=$(cat "$current")
source_dir="$cache/openssl-source-$source_version"
upstream_version=${source_version%-*}

announce() {
    echo "build-openssl: OpenSSL $upstream_version (Debian $suite source $source_version," \
        "with Debian's patches) for $target: $1"
}

link="$cache/openssl-v$source_version-$build_key"
if complete "$link"; then
    install=$(readlink -f "$link")
    announce "$install"
    echo "$install" >&3
    exit 0
fi

dsc=$(echo "$source_dir"/openssl_*.dsc)
orig=$(echo "$source_dir"/openssl_*.orig.tar.gz)
if [ ! -f "$dsc" ] || [ ! -f "$orig" ]; then
    pellwick_die "$source_dir holds no single openssl .dsc and orig tarball"
fi
dsc_sha256=$(sha256sum "$dsc" | cut -c1-64)
key=$(printf '%s\n' "$dsc_sha256" "$build_key" | sha256sum | cut -c1-16)
install="$cache/openssl-$key"

if ! complete "$install"; then
    announce "building into $install"
    started=$SECONDS
    rm -rf "$install"
    # dpkg-source checks the files against the .dsc and applies debian/patches/series.
    dpkg-source -x "$dsc" "$work/build" >"$work/unpack.log" 2>&1 ||
        { cat "$work/unpack.log"; pellwick_die "dpkg-source could not unpack $dsc"; }
    # No openssl.cnf is read by the library: the prefix ends up inside libcrypto
    # (OPENSSLDIR), which is a drive-relative path on Windows and a cache folder on Linux.
    (cd "$work/build" &&
        perl Configure "${options[@]}" --prefix="$install" --libdir=lib &&
        make -j"${PELLWICK_JOBS:-2}" "${make_targets[@]}" &&
        make install_dev) >"$work/build.log" 2>&1 ||
        { tail -n 40 "$work/build.log"; pellwick_die "OpenSSL build failed"; }
    if [ -f "$work/build/apps/openssl" ]; then
        install -D -m 755 "$work/build/apps/openssl" "$install/bin/openssl"
    fi
    {
        echo "openssl: $upstream_version"
        echo "debian source: openssl $source_version from $suite, with Debian's patches:"
        sed 's/^/  /' "$work/build/debian/patches/series"
        echo "dsc sha256: $dsc_sha256"
        echo "target: $target"
        echo "configure: ${options[*]} --prefix=$install --libdir=lib"
        compiler_identity
    } >"$install/BUILD-INFO"
    touch "$install/.complete"
    echo "build-openssl: built in $((SECONDS - started)) s"
fi
ln -sfn "openssl-$key" "$link"
announce "$install"
echo "$install" >&3
