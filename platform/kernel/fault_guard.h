// Running foreign code so that a processor fault inside it ends only that
// call (used by kvcomm's call server).
//
// The guarded function runs on the calling thread. A SIGSEGV, SIGBUS,
// SIGFPE, SIGILL or SIGTRAP raised while it runs is caught on the thread's
// alternate signal stack (set up on the thread's first guarded call and
// released when the thread ends, so that a stack overflow can still be
// handled), and the call returns the fault's kind instead. A fault outside a
// guarded call goes to the handler that was installed before ours (or the
// default action), so crashes elsewhere stay crashes.
//
// What the interrupted function held (locks, heap blocks half-built) is
// abandoned: the caller should drop whatever the function may have touched.
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp {

// Kinds of processor and system faults, with the names Windows gives them.
enum class FaultKind : int {
  None = 0,
  AccessViolation,          // SIGSEGV outside the stack's guard
  ArrayBoundsExceeded,      // SIGFPE FPE_FLTSUB (subscript out of range)
  Breakpoint,               // SIGTRAP other than a single step
  DatatypeMisalignment,     // SIGBUS BUS_ADRALN
  FloatDenormalOperand,     // not raised by Linux; listed for completeness
  FloatDivideByZero,        // SIGFPE FPE_FLTDIV
  FloatInexactResult,       // SIGFPE FPE_FLTRES
  FloatInvalidOperation,    // SIGFPE FPE_FLTINV
  FloatOverflow,            // SIGFPE FPE_FLTOVF
  FloatStackCheck,          // not raised by Linux
  FloatUnderflow,           // SIGFPE FPE_FLTUND
  GuardPage,                // not raised by Linux
  IllegalInstruction,       // SIGILL, and any fault not named here
  InPageError,              // SIGBUS other than misalignment (a mapped file cut short)
  IntegerDivideByZero,      // SIGFPE FPE_INTDIV
  IntegerOverflow,          // SIGFPE FPE_INTOVF
  InvalidDisposition,       // not raised by Linux
  NoncontinuableException,  // not raised by Linux
  PrivilegedInstruction,    // SIGILL ILL_PRVOPC / ILL_PRVREG, SIGSEGV from a privileged op
  SingleStep,               // SIGTRAP TRAP_TRACE
  StackOverflow,            // SIGSEGV within reach of the thread's stack limit
};

using GuardedFunction = void (*)(void* context);

// Runs `function(context)`; FaultKind::None when it returned normally.
// Returns IllegalInstruction without running it when the alternate stack
// cannot be set up (no memory). Guarded calls may nest only by running
// another guarded call on another thread.
KVP_API FaultKind RunGuarded(GuardedFunction function, void* context);

// Maps a signal number and its si_code to a kind (exposed for tests).
KVP_API FaultKind FaultKindOf(int signal, int code, bool nearStackLimit);

}  // namespace kvp
