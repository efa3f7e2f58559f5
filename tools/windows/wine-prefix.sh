#!/bin/bash
# Makes a fresh Wine prefix for running Pellwick's Windows programs and tests:
#
#   tools/windows/wine-prefix.sh <new or empty folder>
#
# About 10 to 15 s. A fresh prefix per run is cheaper than keeping one clean. Uses
# DISPLAY when set (with-wine sets it) and works without it.
set -euo pipefail
. "$(dirname "$0")/../common.sh"

[ $# -eq 1 ] || pellwick_die "usage: $0 <folder>"
pellwick_install_packages

mkdir -p "$1"
[ -z "$(ls -A "$1")" ] || pellwick_die "$1 is not empty"
prefix=$(cd "$1" && pwd)
pellwick_wine_environment "$prefix"

# Each step is cut off so that a wedged Wine fails the run instead of stalling it.
# wineboot's own chatter (no 32-bit loader, "configuration updated") is shown on failure only.
log=$(timeout 300 wineboot -i 2>&1) || { echo "$log" >&2; pellwick_die "wineboot -i failed"; }
# A crash would start winedbg, whose dialog waits for a click that never comes; Wine
# falls back to winedbg even without AeDebug's "Debugger", so winedbg itself is turned off
# and a crash ends the program at once with exit code 5 (0xC0000005's low byte). Without a
# window manager a Wine-managed window stalls each close for 2 s, so Wine draws its own
# frames. No sound.
cat >"$prefix/drive_c/pellwick-prefix.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"winedbg.exe"=""

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Audio"=""
REG
timeout 300 wine regedit /S 'C:\pellwick-prefix.reg'
# The registry reaches the disk when the server ends.
timeout 300 wineserver -w
rm "$prefix/drive_c/pellwick-prefix.reg"

# Marks the prefix as a profile made for tests: only there do the Windows tests delete
# and rewrite the application's data folder (test_support/app_data.h looks for this file).
echo "A throwaway Wine prefix made by tools/windows/wine-prefix.sh for Pellwick's tests." \
    >"$prefix/drive_c/windows/pellwick-throwaway-test-profile"

# Debian keeps Wine's own fonts outside the prefix and its Wine does not find them there:
# text would fall back to another font.
ln -sf /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
