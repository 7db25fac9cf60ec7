# What the 32-bit Windows build (cmake/toolchain-mingw32.cmake) builds: the
# platform layer as a static library of system pass-throughs, the DLLs with
# one .def file each, and the tests that run under Wine (tests/windows).
# The host, the install rules and the libraries not yet ported stay out.
# A DLL names its exports in its .def file; without dllexport anywhere the
# linker would export every symbol, which the .def file prevents.
function(kv_windows_dll target def_file)
  target_sources(${target} PRIVATE ${def_file})
  set_target_properties(${target} PROPERTIES PREFIX "" LINK_DEPENDS ${def_file})
endfunction()

add_subdirectory(platform)
add_subdirectory(xbase)
add_subdirectory(chart)
add_subdirectory(image)

if(KV_TESTS)
  # The independent index readers the engine's tests check every index with.
  add_subdirectory(host/index_check)
  add_subdirectory(tests/windows)
  add_subdirectory(tests/windows_gui)
endif()
