#!/bin/bash
# The static OpenSSL for 64-bit Windows; prints its install prefix as the last line of
# stdout. Kept for the scripts that call it by this name: tools/build-openssl.sh windows.
exec "$(dirname "$0")/../build-openssl.sh" windows "$@"
