# Which QR Code generator the programs link, as the imported target qrcodegen::qrcodegen: the
# static library of Debian's libqrcodegencpp-dev on Linux, and for Windows the one that
# tools/build-qrcodegen.sh builds from the same Debian version, given as QRCODEGEN_ROOT_DIR
# (the scripts pass it). Static on both, so that the programs carry their encoder.
if(WIN32)
  if(NOT QRCODEGEN_ROOT_DIR)
    message(FATAL_ERROR "No QR Code generator for Windows chosen: -DQRCODEGEN_ROOT_DIR=$(tools/build-qrcodegen.sh)")
  endif()
  set(QRCODEGEN_INCLUDE_DIR ${QRCODEGEN_ROOT_DIR}/include)
  set(QRCODEGEN_LIBRARY ${QRCODEGEN_ROOT_DIR}/lib/libqrcodegencpp.a)
else()
  find_path(QRCODEGEN_INCLUDE_DIR qrcodegen/qrcodegen.hpp)
  find_library(QRCODEGEN_LIBRARY NAMES libqrcodegencpp.a)
endif()
if(NOT EXISTS "${QRCODEGEN_INCLUDE_DIR}/qrcodegen/qrcodegen.hpp" OR NOT EXISTS "${QRCODEGEN_LIBRARY}")
  message(FATAL_ERROR "The QR Code generator library is missing (Debian: libqrcodegencpp-dev; Windows: "
    "tools/build-qrcodegen.sh): looked for ${QRCODEGEN_INCLUDE_DIR}/qrcodegen/qrcodegen.hpp and ${QRCODEGEN_LIBRARY}")
endif()
add_library(qrcodegen::qrcodegen STATIC IMPORTED)
set_target_properties(qrcodegen::qrcodegen PROPERTIES
  IMPORTED_LOCATION "${QRCODEGEN_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${QRCODEGEN_INCLUDE_DIR}")
message(STATUS "QR Code generator: ${QRCODEGEN_LIBRARY}")
