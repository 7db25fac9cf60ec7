// Calling an exported function with the parameters of a request, through
// libffi, under the platform's fault guard.
//
// Arguments go in the order of the parameters. A by-reference parameter
// passes its buffer's address (null for a buffer of size 0); for type 10 the
// address of the place that holds the block's address, so that the function
// may replace the block. A by-value parameter passes its value in the width
// of its type (types 2 to 7 as the integers they name, 8 as a float, 9 as a
// double); by-value parameters of types 1 and 10 pass nothing.
//
// Header byte 92 chooses the calling convention on a 32-bit x86 build (1:
// the callee removes its arguments, 0: the caller does). On x86-64 and other
// 64-bit targets there is one convention and the byte is accepted as it is
// and ignored.
#pragma once
#include <cstdint>

#include "comm/rpc/request_reader.h"

namespace kvrpc {

struct CallOutcome {
  int32_t status = kStatusOk;  // 0, or 6 to 26 for a fault in the function
  uint16_t resultSize = 0;
  unsigned char result[8] = {};
};

CallOutcome Invoke(void* function, ServerRequest& request);

// The status of a processor fault kind (kvp::FaultKind as an int, 1 to 21).
int32_t StatusOfFault(int kind);

}  // namespace kvrpc
