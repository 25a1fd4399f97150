# What `cmake --install` puts where, the CMake package and the pkg-config
# files users build against, and the Debian packages made from them.
#
# Headers go under include/pelkmgmt-types/ with the paths users write in the
# tree (<zamli/...>, <haldun/...>, <qor/...>, <pelk/...>, <auth_keys.h>).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PELK_INCLUDE_SUBDIR ${PROJECT_NAME})
set(PELK_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/${PELK_INCLUDE_SUBDIR})
set(PELK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/${PROJECT_NAME})

# One pkg-config module per library, found relative to where it lies so
# that the tree can be installed under any prefix.
file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" PC_PREFIX_FROM_PCDIR "${PC_PREFIX_FROM_PCDIR}")

# An installed library: its target, exported as pelk::EXPORT, with a
# pkg-config module PC that requires the modules REQUIRES; SUMMARY says what
# it is for. Adds the target to PELK_INSTALLED_LIBRARIES.
function(pelk_installed_library target)
  cmake_parse_arguments(ARG "" "EXPORT;PC;REQUIRES;SUMMARY" "" ${ARGN})
  set_target_properties(${target} PROPERTIES
      VERSION ${PROJECT_VERSION}
      SOVERSION ${PROJECT_VERSION_MAJOR}
      EXPORT_NAME ${ARG_EXPORT}
      # Each finds the others beside itself.
      INSTALL_RPATH "$ORIGIN")
  target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${PELK_INSTALL_INCLUDEDIR}>)
  set(PC_NAME ${ARG_PC})
  set(PC_SUMMARY ${ARG_SUMMARY})
  set(PC_REQUIRES ${ARG_REQUIRES})
  get_target_property(PC_LIBRARY ${target} OUTPUT_NAME)
  if(NOT PC_LIBRARY)
    set(PC_LIBRARY ${target})
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/pelk.pc.in ${CMAKE_BINARY_DIR}/pkgconfig/${PC_NAME}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/${PC_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT dev)
  set(PELK_INSTALLED_LIBRARIES ${PELK_INSTALLED_LIBRARIES} ${target} PARENT_SCOPE)
endfunction()

set(PELK_INSTALLED_LIBRARIES)
pelk_installed_library(zamli EXPORT zamli PC pelk-zamli SUMMARY "The runtime: type registry, values, calls")
pelk_installed_library(zamli-wire EXPORT wire PC pelk-wire REQUIRES pelk-zamli
                       SUMMARY "The SOAP XML and JSON wire encodings and the in-process loopback")
pelk_installed_library(qor-types EXPORT qor PC pelk-qor REQUIRES pelk-zamli SUMMARY "The base interface's types")
pelk_installed_library(pelkmgmt-types EXPORT types PC pelkmgmt-types REQUIRES pelk-qor
                       SUMMARY "The management interface's types")
pelk_installed_library(qor-services EXPORT services PC pelk-services REQUIRES pelk-qor
                       SUMMARY "Server tasks, the property collector, and following a task from a client")
# The network transport joins as pelk::http once its library is in the tree.
if(TARGET zamli-http)
  pelk_installed_library(zamli-http EXPORT http PC pelk-http REQUIRES pelk-wire SUMMARY "The network transport")
endif()
set_target_properties(pelkctl PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

install(TARGETS ${PELK_INSTALLED_LIBRARIES} EXPORT pelkmgmt-types-targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(TARGETS pelkctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)

# Headers only the runtime's own sources include are not installed: the
# generic encoder and decoder, each encoding's reader and writer, and what
# those share.
set(PELK_INTERNAL_HEADERS
    haldun/block_cache.h
    zamli/transport/http/blocking_exchange.h
    zamli/transport/http/call_answerer.h
    zamli/transport/http/client_connection.h
    zamli/transport/http/faults.h
    zamli/transport/http/io_threads.h
    zamli/transport/http/polled_socket.h
    zamli/transport/http/protocol.h
    zamli/transport/http/sessions.h
    zamli/transport/http/tls_stream.h
    zamli/types/runtime_records.h
    zamli/wire/budget.h
    zamli/wire/byte_scan.h
    zamli/wire/decode_plan.h
    zamli/wire/decoder.h
    zamli/wire/encode_plan.h
    zamli/wire/encoder.h
    zamli/wire/errors.h
    zamli/wire/node_traits.h
    zamli/wire/formats.h
    zamli/wire/output.h
    zamli/wire/plans.h
    zamli/wire/scalars.h
    zamli/wire/value_model.h
    zamli/wire/writer.h)
set(header_excludes)
foreach(header IN LISTS PELK_INTERNAL_HEADERS)
  list(APPEND header_excludes PATTERN ${header} EXCLUDE)
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/haldun ${PROJECT_SOURCE_DIR}/platform/zamli
        DESTINATION ${PELK_INSTALL_INCLUDEDIR} COMPONENT dev
        FILES_MATCHING PATTERN "*.h" ${header_excludes}
        PATTERN "wire/xml" EXCLUDE PATTERN "wire/json" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/libraries/qor-services DESTINATION ${PELK_INSTALL_INCLUDEDIR} COMPONENT dev
        FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/libraries/pelkmgmt-types/auth_keys.h
        DESTINATION ${PELK_INSTALL_INCLUDEDIR} COMPONENT dev)
# Generated: every class header, fwd.h, all.h and the exported records
# (type_infos.h); tables.h is the library's own.
install(DIRECTORY ${CMAKE_BINARY_DIR}/gen/qor ${CMAKE_BINARY_DIR}/gen/pelk
        DESTINATION ${PELK_INSTALL_INCLUDEDIR} COMPONENT dev
        FILES_MATCHING PATTERN "*.h" PATTERN "tables.h" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/interface/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/${PROJECT_NAME}/interface COMPONENT dev
        FILES_MATCHING PATTERN "*.schema" PATTERN "README.md")

# find_package(pelkmgmt-types CONFIG)
install(EXPORT pelkmgmt-types-targets NAMESPACE pelk:: DESTINATION ${PELK_INSTALL_CMAKEDIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/pelkmgmt-types-config.cmake.in
                              ${CMAKE_BINARY_DIR}/pelkmgmt-types-config.cmake
                              INSTALL_DESTINATION ${PELK_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/pelkmgmt-types-config-version.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/pelkmgmt-types-config.cmake ${CMAKE_BINARY_DIR}/pelkmgmt-types-config-version.cmake
        DESTINATION ${PELK_INSTALL_CMAKEDIR} COMPONENT dev)

include(cmake/Packaging.cmake)
