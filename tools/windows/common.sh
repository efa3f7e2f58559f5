# shellcheck shell=bash
# Shell helpers shared by the scripts in this folder; sourced, not run.

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
        pellwick_die "needs root (or sudo) for: $*"
    fi
}

# Installs what the Windows build and Wine need, only what is missing; quiet otherwise.
pellwick_install_packages() {
    "$(dirname "${BASH_SOURCE[0]}")/../install-packages.sh" windows
}

# The environment every Wine call of ours runs in: no debug chatter, no Mono or Gecko
# installer prompts, no menu entries or file associations written into the Linux desktop.
pellwick_wine_environment() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
}
