// Building a drawing command's text and handing it to the host.
#pragma once
#include <cstdarg>
#include <string>

#include "kv/ext_protocol.h"

namespace kv::chart {

// The escape character that introduces every drawing command.
inline constexpr char kEsc = '\x1b';

// printf-style formatting into a string of any length.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Delivers `text` as the call's text result; 1, or 0 when the preset result
// type does not accept text.
int32_t DeliverText(CallBlock& call, const std::string& text);

// A text argument, the empty text when the host passed none.
const char* TextArgument(const CallBlock& call, int k);

}  // namespace kv::chart
