# The Debian package (make deb): one package "kv" holding what the install
# rules install, built by CPack's DEB generator from a tree configured with
# the prefix /usr (so that the libraries land in the multiarch folder). The
# runtime dependencies are those dpkg-shlibdeps finds in the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kv)
set(CPACK_PACKAGE_VENDOR "kv maintainers")
set(CPACK_PACKAGE_CONTACT "kv maintainers <maintainers@users.noreply.c-seed-5abe54ef.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "run-time extension libraries for the kvhost 4GL runtime")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Extension libraries that programs written in the Korvel 4GL load through\n"
  "the kvhost runtime: an xBase engine (DBF, DBT, FPT, NDX, IDX, MDX and NTX\n"
  "files), business charts, and the platform layer they run on. The package\n"
  "also holds the stand-in host kvhost with its tools and demo, the public\n"
  "headers, pkg-config files and the CMake package kv.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries' own shlibs entry, and the ldconfig trigger that comes with it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/deb)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb/ldconfig_trigger.cmake)
include(CPack)
