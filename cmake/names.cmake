# Reads pellwick.conf, the one place of the names and numbers that the programs, the
# scripts and the installer share: each key=value line becomes PELLWICK_<KEY> (version
# becomes PELLWICK_VERSION). Included before project(), which takes the version from it.
set(_pellwick_names ${CMAKE_CURRENT_LIST_DIR}/../pellwick.conf)
file(STRINGS ${_pellwick_names} _pellwick_lines REGEX "^[a-z_]+=")
foreach(_line IN LISTS _pellwick_lines)
  string(REGEX MATCH "^([a-z_]+)=(.*)$" _ "${_line}")
  string(TOUPPER "${CMAKE_MATCH_1}" _key)
  set(PELLWICK_${_key} "${CMAKE_MATCH_2}")
endforeach()
foreach(_key IN ITEMS VERSION PUBLISHER DEVELOPER_URL HTTPS_PORT CONTROL_WINDOW_CLASS EXIT_DONE EXIT_FAILED
                      EXIT_USER_PAIR EXIT_HALF_PAIR EXIT_TRUST_DECLINED EXIT_NEW_AUTHORITY EXIT_NOT_SUPPORTED)
  if(NOT DEFINED PELLWICK_${_key})
    message(FATAL_ERROR "pellwick.conf has no ${_key} line")
  endif()
endforeach()
# A change of the file configures again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_pellwick_names})
