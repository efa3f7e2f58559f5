#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those still missing; quiet when all are
# there. Usage: install-packages.sh linux|windows|fuzz|bench|release|browsers...
set -euo pipefail

linux=(g++ cmake ninja-build make perl dpkg-dev pkg-config libssl-dev openssl googletest libgtest-dev libgmock-dev ca-certificates)
windows=(g++-mingw-w64-x86-64-posix make dpkg-dev wine wine64 fonts-wine xvfb xauth imagemagick curl perl
         libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3 libxxf86vm1)

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

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Installing them needs root, and there is no sudo here: run this command as root once," >&2
    echo "or install them as root with: apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo=sudo
fi
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
