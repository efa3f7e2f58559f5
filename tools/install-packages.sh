#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those still missing; quiet when all are
# there. Usage: install-packages.sh linux|windows|fuzz|bench|release|browsers...
set -euo pipefail
. "$(dirname "$0")/common.sh"

linux=(g++ cmake ninja-build make perl dpkg-dev pkg-config libssl-dev openssl googletest libgtest-dev libgmock-dev ca-certificates
       libqrcodegencpp-dev zbar-tools)
windows=(g++-mingw-w64-x86-64-posix make dpkg-dev wine wine64 fonts-wine xvfb xauth imagemagick curl perl
         libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3 libxxf86vm1 zbar-tools)

fuzz=(clang libclang-rt-14-dev)
bench=(nginx-light hey curl procps util-linux)
release=(nsis osslsigncode zip unzip imagemagick binutils-mingw-w64-x86-64)
browsers=(chromium firefox-esr libnss3-tools openssl)

wanted=()
for set in "$@"; do
  case "$set" in
    linux) wanted+=("${linux[@]}") ;;
    windows) wanted+=("${windows[@]}") ;;
    fuzz) wanted+=("${fuzz[@]}") ;;
    bench) wanted+=("${bench[@]}") ;;
    release) wanted+=("${release[@]}") ;;
    browsers) wanted+=("${browsers[@]}") ;;
    *) echo "unknown package set: $set" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${wanted[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
pellwick_apt_get update -qq
pellwick_apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
