#include "chart/drawing_commands/command_text.h"

#include <cstdio>

#include "chart/ext/call_block.h"

namespace kv::chart {

std::string Format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length));
    std::vsnprintf(text.data(), text.size() + 1, format, again);
  }
  va_end(again);
  return text;
}

int32_t DeliverText(CallBlock& call, const std::string& text) {
  return kv::ext::SetTextResult(call, text.c_str()) ? 1 : 0;
}

const char* TextArgument(const CallBlock& call, int k) {
  const char* text = kv::ext::ArgText(call, k);
  return text != nullptr ? text : "";
}

}  // namespace kv::chart
