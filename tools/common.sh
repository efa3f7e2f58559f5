# shellcheck shell=bash
# Shell helpers shared by the scripts under tools/; sourced, not run.

pellwick_tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# One value of pellwick.conf, where the names and numbers shared with the programs and the
# installer are written once: pellwick_name https_port prints 443.
pellwick_name() {  # key
    (. "$pellwick_tools/../pellwick.conf" && printf '%s\n' "${!1}")
}

pellwick_die() {
    echo "$(basename "$0"): $*" >&2
    exit 1
}

# Runs a command as root: directly when we are root, else through sudo.
pellwick_as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        pellwick_die "needs root, and there is no sudo here: run this command as root once, or run as root: $*"
    fi
}

# apt-get as root. A machine that has just booted often runs its own updates: wait up to
# ten minutes for the package manager's locks instead of failing at once. apt waits for
# dpkg's lock itself (DPkg::Lock::Timeout) but gives up at once on the lock of its lists
# (update) and of its downloads (install), so a run stopped by those is tried again.
pellwick_apt_get() {
    local waited=0 errors
    # Standard output passes through fd 4; standard error is kept to be looked at.
    while ! { errors=$(pellwick_as_root env DEBIAN_FRONTEND=noninteractive \
                  apt-get -o DPkg::Lock::Timeout=600 "$@" 2>&1 1>&4 4>&-); } 4>&1; do
        if [[ "$errors" != *"Could not get lock"* ]] || [ "$waited" -ge 600 ]; then
            printf '%s\n' "$errors" >&2
            return 1
        fi
        [ "$waited" -gt 0 ] || echo "$(basename "$0"): another program holds apt's lock; waiting for it" >&2
        sleep 5
        waited=$((waited + 5))
    done
    [ -z "$errors" ] || printf '%s\n' "$errors" >&2
}

# Installs what the Windows build and Wine need, only what is missing; quiet otherwise.
pellwick_install_packages() {
    "$pellwick_tools/install-packages.sh" windows
}

# The environment every Wine call of ours runs in: no debug chatter, no Mono or Gecko
# installer prompts, no menu entries or file associations written into the Linux desktop.
pellwick_wine_settings() {
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
}

# The same in the given prefix.
pellwick_wine_environment() {  # prefix
    export WINEPREFIX="$1"
    pellwick_wine_settings
}

# Configures a cross build of the Windows programs in <folder>: mingw-w64, and the static
# OpenSSL and QR Code generator for Windows (built first when they are not cached). More
# cmake options may follow.
pellwick_configure_windows() {  # folder build-type port [cmake option...]
    local folder=$1 type=$2 port=$3 top openssl qrcodegen
    shift 3
    top=$(dirname "$pellwick_tools")
    openssl=$("$pellwick_tools/build-openssl.sh" windows | tail -n 1)
    qrcodegen=$("$pellwick_tools/build-qrcodegen.sh" | tail -n 1)
    cmake -S "$top" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DHTTPS_PORT="$port" \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DOPENSSL_ROOT_DIR="$openssl" \
        -DQRCODEGEN_ROOT_DIR="$qrcodegen" "$@" >/dev/null
}

# The address of Debian's archive as this machine's own apt sources give it: the site that
# serves the main component of the machine's release.
pellwick_archive_address() {
    local release
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$release" ] || return 1
    apt-get indextargets --no-release-info --format '$(SITE)' \
        'Target-Of: deb' "Release: $release" 'Component: main' | sort -u | head -n 1
}

# Lets apt see the source packages of a Debian suite through a sources entry of our own,
# from the archive this machine already uses (never an address written into a file here).
# Fails, with a word why, when the archive is unknown or apt cannot update.
pellwick_add_source_entry() {  # entry-file suite
    local address
    address=$(pellwick_archive_address) || true
    [ -n "$address" ] || { echo "$(basename "$0"): no Debian archive in this machine's apt sources" >&2; return 1; }
    pellwick_as_root tee "$1" >/dev/null <<SOURCES
Types: deb-src
URIs: $address
Suites: $2
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    pellwick_apt_get update -qq
}

# Takes that entry away again, and apt's lists with it; nothing when it is not there.
pellwick_remove_source_entry() {  # entry-file
    if [ -f "$1" ]; then
        pellwick_as_root rm -f "$1"
        pellwick_apt_get update -qq || true
    fi
}
