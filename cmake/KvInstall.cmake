# Install rules: the shared libraries with their SONAMEs, the public headers,
# kvhost, its man page, the samples its demo reads, the docs, a pkg-config
# file per library and the CMake package "kv" (imported targets kv::NAME).
#
# A library joins by being named in KV_INSTALLED_LIBRARIES; one that is not
# built yet is skipped, so the list can name every library ahead of time.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KV_INSTALLED_LIBRARIES kvplatform kvxbase kvchart kvimage kvcomm kvodbc kvmapi)

# One line of description per library, for its pkg-config file.
set(KV_DESCRIPTION_kvplatform "kv platform layer: files, locks, memory, profiles, modules")
set(KV_DESCRIPTION_kvxbase "kv xBase engine: DBF, DBT, FPT, NDX, IDX, MDX and NTX files")
set(KV_DESCRIPTION_kvchart "kv business charts and drawing commands")
set(KV_DESCRIPTION_kvimage "kv TIFF, GIF and JPEG reading and writing")
set(KV_DESCRIPTION_kvcomm "kv sockets, remote services, serial ports and e-mail")
set(KV_DESCRIPTION_kvodbc "kv ODBC access")
set(KV_DESCRIPTION_kvmapi "kv Simple MAPI provider")

# The ABI is the set of exports the host calls; its version is the project's
# major version, and the file carries the whole version:
# libkvxbase.so -> libkvxbase.so.1 -> libkvxbase.so.1.0.0.
set(KV_SOVERSION ${PROJECT_VERSION_MAJOR})

set(KV_PC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/kv.pc.in)
set(KV_PC_DIR ${CMAKE_BINARY_DIR}/pkgconfig)
set(KV_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kv)

set(KV_EXPORTED_LIBRARIES)
foreach(lib ${KV_INSTALLED_LIBRARIES})
  if(NOT TARGET ${lib})
    continue()
  endif()
  list(APPEND KV_EXPORTED_LIBRARIES ${lib})
  set_target_properties(${lib} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${KV_SOVERSION})
  # Consumers of the installed copy find the headers under include/; inside
  # the tree every target already has the source root on its include path.
  target_include_directories(${lib} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  install(TARGETS ${lib} EXPORT kvTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The pkg-config file names the prefix it is installed under, which is
  # known only when installing (cmake --install --prefix P, CPack's /usr):
  # everything else is filled in now, the prefix then.
  set(KV_PC_NAME ${lib})
  set(KV_PC_DESCRIPTION "${KV_DESCRIPTION_${lib}}")
  if(lib STREQUAL "kvplatform")
    set(KV_PC_PRIVATE_LIBS "")
  else()
    # Every library stands on the platform layer; a static link needs it.
    set(KV_PC_PRIVATE_LIBS "-lkvplatform")
  endif()
  set(KV_PC_PREFIX "@KV_PC_PREFIX@")
  foreach(kind LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
      set(KV_PC_${kind} "${CMAKE_INSTALL_${kind}}")
    else()
      set(KV_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
  endforeach()
  configure_file(${KV_PC_TEMPLATE} ${KV_PC_DIR}/${lib}.pc.in @ONLY)
  install(CODE "
    set(KV_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${KV_PC_DIR}/${lib}.pc.in\" \"${KV_PC_DIR}/${lib}.pc\" @ONLY)
  ")
  install(FILES ${KV_PC_DIR}/${lib}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# The GTK backend is no library to link against: the platform layer loads it
# by its runtime name from its own folder (platform/CMakeLists.txt), so it
# goes beside libkvplatform.so.1 with the same version, but without a link
# name, pkg-config file or place in the CMake package.
if(TARGET kvplatform_gtk)
  set_target_properties(kvplatform_gtk PROPERTIES VERSION ${PROJECT_VERSION}
                                                  SOVERSION ${KV_SOVERSION})
  install(TARGETS kvplatform_gtk LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP)
endif()

# The CMake package: find_package(kv CONFIG) gives kv::kvxbase, kv::kvchart, ...
install(EXPORT kvTargets NAMESPACE kv:: DESTINATION ${KV_CMAKE_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kvConfig.cmake.in
  ${CMAKE_BINARY_DIR}/kvConfig.cmake INSTALL_DESTINATION ${KV_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/kvConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/kvConfig.cmake ${CMAKE_BINARY_DIR}/kvConfigVersion.cmake
        DESTINATION ${KV_CMAKE_PACKAGE_DIR})

install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/kv DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")

# The platform maps "kvxbase.dll" to libkvxbase.so, the name in the build
# tree and in a development install; a system without that link has only
# the runtime name libkvxbase.so.1, which the loader then tries.
target_compile_definitions(kvplatform PRIVATE KV_LIBRARY_SOVERSION="${KV_SOVERSION}")

if(TARGET kvhost)
  install(TARGETS kvhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The demo's sample files, found by an installed kvhost relative to its
  # own folder.
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/host/samples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kv/samples)
  file(RELATIVE_PATH KV_SAMPLES_FROM_BIN ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/kv/samples)
  target_compile_definitions(kvhost PRIVATE KV_INSTALLED_SAMPLES_FROM_BIN="${KV_SAMPLES_FROM_BIN}")

  # The man page with the project's version in its title line, compressed
  # as Debian installs man pages (gzip -n: no name or time stamp inside, so
  # that the bytes do not depend on the build).
  set(KV_MAN_PAGE ${CMAKE_BINARY_DIR}/man/kvhost.1)
  configure_file(${CMAKE_SOURCE_DIR}/host/kvhost.1 ${KV_MAN_PAGE} @ONLY)
  set(KV_MAN_GZ ${KV_MAN_PAGE}.gz)
  add_custom_command(OUTPUT ${KV_MAN_GZ}
    COMMAND gzip -9nc ${KV_MAN_PAGE} > ${KV_MAN_GZ}
    DEPENDS ${KV_MAN_PAGE} VERBATIM)
  add_custom_target(kvhost_man ALL DEPENDS ${KV_MAN_GZ})
  install(FILES ${KV_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The docs, the copyright notice and the change log (compressed, as Debian
# keeps change logs).
set(KV_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${KV_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/deb/changelog > ${KV_CHANGELOG_GZ}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/deb/changelog VERBATIM)
add_custom_target(kv_changelog ALL DEPENDS ${KV_CHANGELOG_GZ})
file(GLOB KV_DOCS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${KV_DOCS} ${CMAKE_CURRENT_LIST_DIR}/deb/copyright
              ${KV_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(${CMAKE_CURRENT_LIST_DIR}/KvPackage.cmake)
