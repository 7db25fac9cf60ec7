// libjpeg's failures, routed to the library's messages. libjpeg's default
// error handler ends the process; ours jumps back to the stage that called
// it, which frees what it built and reports.
#pragma once
#include <csetjmp>
#include <cstdio>

// jpeglib.h needs FILE declared first, jerror.h the library's types.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace kvimg {

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  int code = 0;       // libjpeg's message code of the failure
  int parameter = 0;  // its first numeric parameter
};

// Installs the manager on a compressor or decompressor (before create).
jpeg_error_mgr* InstallJpegErrors(JpegErrorManager& manager);

// The library message for a libjpeg failure code, 0 when it has none of its
// own (the failing stage then reports its own message).
unsigned JpegMessageFor(int code);

// Reports the failure: its own message when it has one, else `stageMessage`
// (formatted with `name` when that message takes one).
void ReportJpegFailure(const JpegErrorManager& manager, unsigned stageMessage, const char* name);

}  // namespace kvimg
