# The platform layer of the 32-bit Windows build: the sources of every
# win32/ folder (thin calls of the system's functions) and the portable
# sources that both targets share. It is a static library there, linked into
# each DLL: the process-wide handle spaces are the system's own, so nothing
# needs one copy of the layer, and a DLL then imports only system DLLs.
file(GLOB_RECURSE KVPLATFORM_WIN32_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/*/win32/*.cpp)
set(KVPLATFORM_PORTABLE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/kernel/code_page.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kernel/fault.cpp
  # Message boxes go to the host's hook on both targets (a box of the system
  # would wait for a click no test can give).
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/message_box.cpp
  # What the injected input of both targets shares.
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/input_common.cpp
  # What a box or dialog no hook answers gets (ui/win32/backend_win32.cpp).
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/headless_backend.cpp
  # The font and print dialogs behind their hooks (the system's dialogs are
  # the default hooks there), and the metafile recorder with the state every
  # context shares: its files must have the same bytes on both targets.
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/dialogs.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gdi/metafile_dc.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gdi/dc_object.cpp)
add_library(kvplatform STATIC ${KVPLATFORM_WIN32_SOURCES} ${KVPLATFORM_PORTABLE_SOURCES})
