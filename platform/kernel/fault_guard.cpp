// Fault recovery around foreign calls: per-thread alternate signal stacks,
// one process-wide handler for the five fault signals, and a jump back to
// the guarded call's frame.
#include "platform/kernel/fault_guard.h"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>

namespace kvp {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
// Room for the handler itself, and for a sanitizer's own handler frames.
constexpr size_t kAltStackBytes = 64 * 1024;
// A fault this close below the lowest usable stack address counts as a
// stack overflow: a frame that overflows may skip a little past the guard.
constexpr uintptr_t kStackSlack = 256 * 1024;

struct sigaction gPrevious[kSignalCount];
std::once_flag gInstallOnce;

struct ThreadGuard {
  sigjmp_buf jump;
  volatile sig_atomic_t active = 0;
  volatile sig_atomic_t signal = 0;
  volatile int code = 0;
  volatile uintptr_t address = 0;
  void* altStack = nullptr;
  uintptr_t stackLow = 0;  // lowest address of the thread's stack
  uintptr_t stackHigh = 0;

  ~ThreadGuard() {
    if (altStack == nullptr) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(altStack, kAltStackBytes);
  }
};

thread_local ThreadGuard tGuard;

int SignalIndex(int signal) {
  for (int i = 0; i < kSignalCount; ++i)
    if (kSignals[i] == signal) return i;
  return -1;
}

// Hands a fault that is not ours to whoever handled it before.
void ChainToPrevious(int signal, siginfo_t* info, void* ucontext) {
  const int index = SignalIndex(signal);
  const struct sigaction& previous = gPrevious[index];
  if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
    previous.sa_sigaction(signal, info, ucontext);
    return;
  }
  if (previous.sa_handler == SIG_IGN) return;
  if (previous.sa_handler != SIG_DFL && previous.sa_handler != nullptr) {
    previous.sa_handler(signal);
    return;
  }
  // The default action: restore it and let the fault happen again on return.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  if (info->si_code <= 0) raise(signal);  // sent by a process: resend it
}

void OnFault(int signal, siginfo_t* info, void* ucontext) {
  ThreadGuard& guard = tGuard;
  if (guard.active == 0) {
    ChainToPrevious(signal, info, ucontext);
    return;
  }
  guard.active = 0;
  guard.signal = signal;
  guard.code = info->si_code;
  guard.address = reinterpret_cast<uintptr_t>(info->si_addr);
  siglongjmp(guard.jump, 1);
}

void InstallHandlers() {
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction action {};
    action.sa_sigaction = OnFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(kSignals[i], &action, &gPrevious[i]);
  }
}

bool PrepareThread(ThreadGuard& guard) {
  if (guard.altStack != nullptr) return true;
  void* memory =
      mmap(nullptr, kAltStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return false;
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kAltStackBytes;
  if (sigaltstack(&stack, nullptr) != 0) {
    munmap(memory, kAltStackBytes);
    return false;
  }
  guard.altStack = memory;
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    void* low = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attributes, &low, &size) == 0) {
      guard.stackLow = reinterpret_cast<uintptr_t>(low);
      guard.stackHigh = guard.stackLow + size;
    }
    pthread_attr_destroy(&attributes);
  }
  return true;
}

bool NearStackLimit(const ThreadGuard& guard, uintptr_t address) {
  if (guard.stackLow == 0) return false;
  const uintptr_t floor = guard.stackLow > kStackSlack ? guard.stackLow - kStackSlack : 0;
  return address >= floor && address < guard.stackLow + 4096 * 4;
}

}  // namespace

FaultKind FaultKindOf(int signal, int code, bool nearStackLimit) {
  switch (signal) {
    case SIGSEGV:
      if (nearStackLimit) return FaultKind::StackOverflow;
      // The kernel reports a privileged instruction (hlt, in, out) as a
      // SIGSEGV with SI_KERNEL.
      if (code == SI_KERNEL) return FaultKind::PrivilegedInstruction;
      return FaultKind::AccessViolation;
    case SIGBUS:
      return code == BUS_ADRALN ? FaultKind::DatatypeMisalignment : FaultKind::InPageError;
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV:
          return FaultKind::IntegerDivideByZero;
        case FPE_INTOVF:
          return FaultKind::IntegerOverflow;
        case FPE_FLTDIV:
          return FaultKind::FloatDivideByZero;
        case FPE_FLTOVF:
          return FaultKind::FloatOverflow;
        case FPE_FLTUND:
          return FaultKind::FloatUnderflow;
        case FPE_FLTRES:
          return FaultKind::FloatInexactResult;
        case FPE_FLTINV:
          return FaultKind::FloatInvalidOperation;
        case FPE_FLTSUB:
          return FaultKind::ArrayBoundsExceeded;
        default:
          return FaultKind::IllegalInstruction;
      }
    case SIGILL:
      return code == ILL_PRVOPC || code == ILL_PRVREG ? FaultKind::PrivilegedInstruction
                                                      : FaultKind::IllegalInstruction;
    case SIGTRAP:
      return code == TRAP_TRACE ? FaultKind::SingleStep : FaultKind::Breakpoint;
    default:
      return FaultKind::IllegalInstruction;
  }
}

FaultKind RunGuarded(GuardedFunction function, void* context) {
  std::call_once(gInstallOnce, InstallHandlers);
  ThreadGuard& guard = tGuard;
  if (!PrepareThread(guard)) return FaultKind::IllegalInstruction;
  if (sigsetjmp(guard.jump, 1) != 0) {
    return FaultKindOf(guard.signal, guard.code,
                       guard.signal == SIGSEGV && NearStackLimit(guard, guard.address));
  }
  guard.active = 1;
  function(context);
  guard.active = 0;
  return FaultKind::None;
}

}  // namespace kvp
