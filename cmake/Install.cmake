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

# Every installed library: target, exported name (pelk::<name>), pkg-config
# module, the modules it requires, and what it is for.
set(PELK_INSTALLED_LIBRARIES zamli zamli-wire qor-types pelkmgmt-types qor-services)
set(PELK_EXPORT_NAME_zamli zamli)
set(PELK_PC_NAME_zamli pelk-zamli)
set(PELK_PC_REQUIRES_zamli "")
set(PELK_PC_SUMMARY_zamli "The runtime: type registry, values, calls")
set(PELK_EXPORT_NAME_zamli-wire wire)
set(PELK_PC_NAME_zamli-wire pelk-wire)
set(PELK_PC_REQUIRES_zamli-wire pelk-zamli)
set(PELK_PC_SUMMARY_zamli-wire "The SOAP XML and JSON wire encodings and the in-process loopback")
set(PELK_EXPORT_NAME_qor-types qor)
set(PELK_PC_NAME_qor-types pelk-qor)
set(PELK_PC_REQUIRES_qor-types pelk-zamli)
set(PELK_PC_SUMMARY_qor-types "The base interface's types")
set(PELK_EXPORT_NAME_pelkmgmt-types types)
set(PELK_PC_NAME_pelkmgmt-types pelkmgmt-types)
set(PELK_PC_REQUIRES_pelkmgmt-types pelk-qor)
set(PELK_PC_SUMMARY_pelkmgmt-types "The management interface's types")
set(PELK_EXPORT_NAME_qor-services services)
set(PELK_PC_NAME_qor-services pelk-services)
set(PELK_PC_REQUIRES_qor-services pelk-qor)
set(PELK_PC_SUMMARY_qor-services "Server tasks, the property collector, and following a task from a client")
# The network transport joins as pelk::http once its library is in the tree.
if(TARGET zamli-http)
  list(APPEND PELK_INSTALLED_LIBRARIES zamli-http)
  set(PELK_EXPORT_NAME_zamli-http http)
  set(PELK_PC_NAME_zamli-http pelk-http)
  set(PELK_PC_REQUIRES_zamli-http pelk-wire)
  set(PELK_PC_SUMMARY_zamli-http "The network transport")
endif()

foreach(target IN LISTS PELK_INSTALLED_LIBRARIES)
  set_target_properties(${target} PROPERTIES
      VERSION ${PROJECT_VERSION}
      SOVERSION ${PROJECT_VERSION_MAJOR}
      EXPORT_NAME ${PELK_EXPORT_NAME_${target}}
      # Each finds the others beside itself.
      INSTALL_RPATH "$ORIGIN")
  target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${PELK_INSTALL_INCLUDEDIR}>)
endforeach()
set_target_properties(pelkctl PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

install(TARGETS ${PELK_INSTALLED_LIBRARIES} EXPORT pelkmgmt-types-targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(TARGETS pelkctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)

# Headers only the runtime's own sources include are not installed: the
# generic encoder and decoder, each encoding's reader and writer, and what
# those share.
set(PELK_INTERNAL_HEADERS
    zamli/transport/http/call_answerer.h
    zamli/transport/http/client_connection.h
    zamli/transport/http/faults.h
    zamli/transport/http/io_threads.h
    zamli/transport/http/protocol.h
    zamli/transport/http/sessions.h
    zamli/types/runtime_records.h
    zamli/wire/budget.h
    zamli/wire/byte_scan.h
    zamli/wire/decoder.h
    zamli/wire/encoder.h
    zamli/wire/errors.h
    zamli/wire/formats.h
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

# One pkg-config module per library, found relative to where it lies so
# that the tree can be installed under any prefix.
file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" PC_PREFIX_FROM_PCDIR "${PC_PREFIX_FROM_PCDIR}")
foreach(target IN LISTS PELK_INSTALLED_LIBRARIES)
  set(PC_NAME ${PELK_PC_NAME_${target}})
  set(PC_SUMMARY ${PELK_PC_SUMMARY_${target}})
  set(PC_REQUIRES ${PELK_PC_REQUIRES_${target}})
  get_target_property(PC_LIBRARY ${target} OUTPUT_NAME)
  if(NOT PC_LIBRARY)
    set(PC_LIBRARY ${target})
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/pelk.pc.in ${CMAKE_BINARY_DIR}/pkgconfig/${PC_NAME}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/${PC_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT dev)
endforeach()

include(cmake/Packaging.cmake)
