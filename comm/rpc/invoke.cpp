// libffi calls under the fault guard.
#include "comm/rpc/invoke.h"

#include <ffi.h>

#include <bit>
#include <cstring>
#include <vector>

#include "comm/rpc/call_context.h"
#include "platform/kernel/fault_guard.h"
#include "platform/kernel/memory.h"

static_assert(std::endian::native == std::endian::little,
              "values are passed straight from their little-endian slots");

namespace kvrpc {

namespace {

ffi_type* ValueType(uint32_t type) {
  switch (type) {
    case kTypeInt8:
      return &ffi_type_sint8;
    case kTypeInt16:
      return &ffi_type_sint16;
    case kTypeInt32:
      return &ffi_type_sint32;
    case kTypeUInt8:
      return &ffi_type_uint8;
    case kTypeUInt16:
      return &ffi_type_uint16;
    case kTypeUInt32:
      return &ffi_type_uint32;
    case kTypeFloat:
      return &ffi_type_float;
    case kTypeDouble:
      return &ffi_type_double;
    default:
      return nullptr;  // passes nothing
  }
}

ffi_type* ReturnType(uint32_t type) {
  ffi_type* value = ValueType(type);
  return value != nullptr ? value : &ffi_type_void;
}

struct CallFrame {
  ffi_cif cif;
  void (*function)();
  void** values;
  // Room for any return value, widened integers included.
  alignas(16) unsigned char returned[16];
};

void CallThroughFfi(void* context) {
  CallFrame* frame = static_cast<CallFrame*>(context);
  ffi_call(&frame->cif, frame->function, frame->returned, frame->values);
}

}  // namespace

int32_t StatusOfFault(int kind) {
  return kind <= 0 ? kStatusOk : kStatusFirstException - 1 + kind;
}

CallOutcome Invoke(void* function, ServerRequest& request) {
  CallOutcome outcome;
  std::vector<ServerParameter>& parameters = request.parameters;
  std::vector<ffi_type*> types;
  std::vector<void*> values;
  std::vector<void*> pointers(parameters.size(), nullptr);
  types.reserve(parameters.size());
  values.reserve(parameters.size());
  for (size_t i = 0; i < parameters.size(); ++i) {
    ServerParameter& p = parameters[i];
    if (p.descriptor.byReference != 0) {
      if (p.descriptor.type == kTypeGlobalBlock)
        pointers[i] = &p.block;
      else
        pointers[i] = p.buffer.empty() ? nullptr : p.buffer.data();
      types.push_back(&ffi_type_pointer);
      values.push_back(&pointers[i]);
      continue;
    }
    ffi_type* type = ValueType(p.descriptor.type);
    if (type == nullptr) continue;
    types.push_back(type);
    values.push_back(p.value);
  }
  CallFrame frame{};
  ffi_abi abi = FFI_DEFAULT_ABI;
#if defined(__i386__)
  if (request.header.calleePops != 0) abi = FFI_STDCALL;
#endif
  ffi_type* returnType = ReturnType(request.header.returnType);
  if (ffi_prep_cif(&frame.cif, abi, static_cast<unsigned>(types.size()), returnType,
                   types.data()) != FFI_OK) {
    outcome.status = kStatusBadParameter;
    return outcome;
  }
  // The helpers the server exports bound what they write by these rooms.
  CallBuffers rooms;
  for (const ServerParameter& p : parameters) {
    if (p.descriptor.byReference == 0) continue;
    if (p.descriptor.type == kTypeGlobalBlock) {
      if (p.block != nullptr) rooms.Add(p.block, kvp::GlobalSize(kvp::GlobalHandle(p.block)));
    } else {
      rooms.Add(p.buffer.data(), p.buffer.size());
    }
  }
  frame.function = reinterpret_cast<void (*)()>(function);
  frame.values = values.data();
  const kvp::FaultKind fault = kvp::RunGuarded(CallThroughFfi, &frame);
  if (fault != kvp::FaultKind::None) {
    outcome.status = StatusOfFault(static_cast<int>(fault));
    return outcome;
  }
  outcome.resultSize = ResultSizeOf(request.header.returnType);
  switch (request.header.returnType) {
    case kTypeFloat:
    case kTypeDouble:
      std::memcpy(outcome.result, frame.returned, outcome.resultSize);
      break;
    default: {
      // Integers narrower than a register come back widened to ffi_arg.
      ffi_arg wide = 0;
      std::memcpy(&wide, frame.returned, sizeof wide);
      PutLE(outcome.result, static_cast<uint64_t>(wide), outcome.resultSize);
      break;
    }
  }
  return outcome;
}

}  // namespace kvrpc
