# Debian packages of the installed tree, one per component (scripts/package.sh):
# the shared libraries, what building against them needs, and the tools.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "pelkmgmt-types maintainers <pelkmgmt-types@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Typed access to a storage cluster's management interface")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)

set(PELK_RUNTIME_PACKAGE libpelkmgmt-types${PROJECT_VERSION_MAJOR})
set(PELK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${PELK_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libpelkmgmt-types-dev)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME pelkmgmt-types-tools)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "shared libraries of the runtime, the wire encodings and the generated types")
set(CPACK_COMPONENT_DEV_DESCRIPTION "headers, CMake package, pkg-config files and schema files")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "pelkctl, the command line over the types and the wire encodings")

# The libraries' own dependencies (libpugixml, libstdc++, libc) come from
# dpkg-shlibdeps; between our packages they are exact.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${PELK_RUNTIME_PACKAGE} (= ${PELK_PACKAGE_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${PELK_RUNTIME_PACKAGE} (= ${PELK_PACKAGE_VERSION})")

include(CPack)
