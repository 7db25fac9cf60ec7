#include "image/jpeg/jpeg_errors.h"

#include "image/read/decoder.h"

namespace kvimg {

namespace {

[[noreturn]] void JumpBack(j_common_ptr common) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(common->err);
  manager->code = manager->base.msg_code;
  manager->parameter = manager->base.msg_parm.i[0];
  std::longjmp(manager->jump, 1);
}

// Warnings (corrupt data the decoder works around) are not shown: the
// picture still comes out, as every JPEG viewer shows it.
void Quiet(j_common_ptr, int) {}
void NoOutput(j_common_ptr) {}

struct Route {
  int code;
  unsigned message;
};

constexpr Route kRoutes[] = {
    {JERR_NO_HUFF_TABLE, 1052},        {JERR_BAD_HUFF_TABLE, 1053},
    {JERR_WIDTH_OVERFLOW, 1054},       {JERR_EMPTY_IMAGE, 1054},
    {JERR_BAD_MCU_SIZE, 1055},         {JERR_NOT_COMPILED, 1056},
    {JERR_HUFF_CLEN_OVERFLOW, 1057},   {JERR_COMPONENT_COUNT, 1058},
    {JERR_IMAGE_TOO_BIG, 1059},        {JERR_BAD_SAMPLING, 1060},
    {JERR_FRACT_SAMPLE_NOTIMPL, 1061}, {JERR_CCIR601_NOTIMPL, 1062},
    {JERR_HUFF_MISSING_CODE, 1063},    {JERR_NO_SOI, 1064},
};

bool TakesName(unsigned message) {
  return message == kMsgSubfileType || message == kMsgBadHeader || message == kMsgIncorrectData ||
         message == kMsgReadProblem || message == kMsgGlobalPalette ||
         message == kMsgUnknownFormat || message == kMsgCodingIncorrect;
}

}  // namespace

jpeg_error_mgr* InstallJpegErrors(JpegErrorManager& manager) {
  jpeg_error_mgr* base = jpeg_std_error(&manager.base);
  base->error_exit = JumpBack;
  base->emit_message = Quiet;
  base->output_message = NoOutput;
  return base;
}

unsigned JpegMessageFor(int code) {
  for (const Route& route : kRoutes)
    if (route.code == code) return route.message;
  return 0;
}

void ReportJpegFailure(const JpegErrorManager& manager, unsigned stageMessage, const char* name) {
  const unsigned own = JpegMessageFor(manager.code);
  if (own == 1052) {
    ReportMessage(own, manager.parameter);
  } else if (own != 0) {
    ReportMessage(own);
  } else if (TakesName(stageMessage)) {
    ReportMessage(stageMessage, name == nullptr ? "" : name);
  } else {
    ReportMessage(stageMessage);
  }
}

}  // namespace kvimg
