# Which OpenSSL the programs and tests link.
#
# By default the static OpenSSL that tools/build-openssl.sh builds from one source for both
# platforms, given as OPENSSL_ROOT_DIR: the Linux host and every Linux test then run the
# library that the Windows program ships with. The scripts pass it; by hand:
#
#   cmake -S . -B build -DOPENSSL_ROOT_DIR=$(tools/build-openssl.sh linux)
#
# PELLWICK_SYSTEM_OPENSSL=ON links the system's OpenSSL instead, as a Linux distribution
# would, with its own security updates.
option(PELLWICK_SYSTEM_OPENSSL "Link the system's OpenSSL instead of the static one in OPENSSL_ROOT_DIR" OFF)

if(PELLWICK_SYSTEM_OPENSSL AND WIN32)
  message(FATAL_ERROR "PELLWICK_SYSTEM_OPENSSL is for Linux; the Windows program links the OpenSSL "
    "of -DOPENSSL_ROOT_DIR=$(tools/build-openssl.sh windows)")
endif()
if(PELLWICK_SYSTEM_OPENSSL)
  # A prefix from an earlier configure would otherwise still be searched first.
  unset(OPENSSL_ROOT_DIR CACHE)
  unset(OPENSSL_ROOT_DIR)
else()
  if(NOT OPENSSL_ROOT_DIR)
    message(FATAL_ERROR "No OpenSSL chosen. Either link the static OpenSSL that Pellwick ships with:\n"
      "  -DOPENSSL_ROOT_DIR=$(tools/build-openssl.sh linux)   (windows for a Windows build)\n"
      "or the system's OpenSSL:\n"
      "  -DPELLWICK_SYSTEM_OPENSSL=ON")
  endif()
  set(OPENSSL_USE_STATIC_LIBS TRUE)
endif()

# FindOpenSSL keeps what it found in the cache: forget it when the choice changes (another
# prefix after a new OpenSSL release, or the system's library), or the old one stays linked.
set(_pellwick_openssl_choice "${PELLWICK_SYSTEM_OPENSSL}|${OPENSSL_ROOT_DIR}")
if(DEFINED PELLWICK_OPENSSL_CHOICE AND NOT PELLWICK_OPENSSL_CHOICE STREQUAL _pellwick_openssl_choice)
  unset(OPENSSL_INCLUDE_DIR CACHE)
  unset(OPENSSL_SSL_LIBRARY CACHE)
  unset(OPENSSL_CRYPTO_LIBRARY CACHE)
endif()
set(PELLWICK_OPENSSL_CHOICE "${_pellwick_openssl_choice}" CACHE INTERNAL "what FindOpenSSL's cached results are for")

find_package(OpenSSL 3.0 REQUIRED)

if(NOT PELLWICK_SYSTEM_OPENSSL)
  # Both the headers and the libraries must come from the prefix, never half from the system.
  foreach(_pellwick_path IN ITEMS "${OPENSSL_INCLUDE_DIR}" "${OPENSSL_SSL_LIBRARY}" "${OPENSSL_CRYPTO_LIBRARY}")
    cmake_path(IS_PREFIX OPENSSL_ROOT_DIR "${_pellwick_path}" NORMALIZE _pellwick_inside)
    if(NOT _pellwick_inside)
      message(FATAL_ERROR "OpenSSL was found at ${_pellwick_path}, outside OPENSSL_ROOT_DIR=${OPENSSL_ROOT_DIR}")
    endif()
  endforeach()
endif()
message(STATUS "OpenSSL ${OPENSSL_VERSION}: ${OPENSSL_SSL_LIBRARY}")
