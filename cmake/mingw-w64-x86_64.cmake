# Cross build for 64-bit Windows with Debian's mingw-w64:
#
#   cmake -S . -B <build> -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DOPENSSL_ROOT_DIR=$(tools/build-openssl.sh windows)
#
# Tests then run under Wine through tools/windows/wine-run, inside tools/windows/with-wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix variants: only they have std::thread and std::mutex.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Headers, libraries and packages come from the target's tree and from the OpenSSL built
# for it, never from Linux; programs run during the build are Linux ones.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(OPENSSL_ROOT_DIR)
  list(APPEND CMAKE_FIND_ROOT_PATH "${OPENSSL_ROOT_DIR}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

get_filename_component(_pellwick_wine_run "${CMAKE_CURRENT_LIST_DIR}/../tools/windows/wine-run" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_pellwick_wine_run}")
