#!/usr/bin/env bash
# Reads every QR code in the window pictures with zbarimg and compares the set of texts with
# the addresses the window captioned a code with (NAME.urls beside NAME.bmp): a code that is
# missing, unreadable, or says another address fails.
#
#   decode_codes.sh <screenshots folder> <name>...
set -euo pipefail
folder=$1
shift
for name in "$@"; do
  picture="$folder/$name.bmp"
  [ -f "$picture" ] && [ -f "$folder/$name.urls" ] || { echo "$name: no picture or no list of addresses" >&2; exit 1; }
  # zbarimg exits 4 when it finds no code at all; the comparison below says so.
  decoded=$(zbarimg --raw -q "$picture" | sort || true)
  expected=$(sort "$folder/$name.urls")
  if [ "$decoded" != "$expected" ]; then
    printf '%s: the codes read\n%s\nbut the window captioned\n%s\n' "$name" "$decoded" "$expected" >&2
    exit 1
  fi
  echo "$name: $(grep -c . <<<"$expected") codes read, each the address it is captioned with"
done
