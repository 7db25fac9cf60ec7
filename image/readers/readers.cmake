# The GIF and TIFF decoders as a static library of their own, for the tests,
# the fuzz targets and the benchmark, which drive them over bytes in memory.
# kvimage compiles the same sources (and the frame_* files that join them to
# the reading frame) into the shared library.
if(NOT TARGET kvimage_readers)
  file(GLOB KV_IMAGE_READER_SOURCES CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/image/readers/*.cpp ${CMAKE_SOURCE_DIR}/image/gif/*.cpp
       ${CMAKE_SOURCE_DIR}/image/tiff/*.cpp)
  list(FILTER KV_IMAGE_READER_SOURCES EXCLUDE REGEX "/frame_[^/]*\\.cpp$")
  add_library(kvimage_readers STATIC ${KV_IMAGE_READER_SOURCES})
endif()
