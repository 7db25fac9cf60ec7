// Faults inside called code: the platform's guard on its own, and through
// the server, where a fault gives its status for that call and the server
// goes on serving.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <thread>

#include "platform/kernel/fault_guard.h"
#include "tests/comm_rpc/rpc_support.h"

namespace {

using kvp::FaultKind;
using kvrpctest::CallRecord;

// The faults are the point: the undefined-behaviour checks stay out.
__attribute__((no_sanitize("undefined"))) void ReadNull(void*) {
  volatile int* p = nullptr;
  (void)*p;
}
__attribute__((no_sanitize("undefined"))) void DivideByZero(void* context) {
  volatile int zero = *static_cast<int*>(context);
  volatile int result = 10 / zero;
  (void)result;
}
void Trap(void*) {
  __builtin_trap();
}
__attribute__((no_sanitize("undefined"))) int Deep(int depth) {
  volatile char frame[2048];
  frame[0] = static_cast<char>(depth);
  if (depth > (1 << 30)) return frame[0];
  return Deep(depth + 1) + frame[0];
}
void Overflow(void*) {
  Deep(0);
}
void Fine(void* context) {
  ++*static_cast<int*>(context);
}

TEST(FaultGuard, EachFaultGivesItsKindAndTheThreadGoesOn) {
  int zero = 0;
  EXPECT_EQ(kvp::RunGuarded(ReadNull, nullptr), FaultKind::AccessViolation);
  EXPECT_EQ(kvp::RunGuarded(DivideByZero, &zero), FaultKind::IntegerDivideByZero);
  EXPECT_EQ(kvp::RunGuarded(Trap, nullptr), FaultKind::IllegalInstruction);
  EXPECT_EQ(kvp::RunGuarded(Overflow, nullptr), FaultKind::StackOverflow);
  // After a stack overflow the alternate stack is still there.
  EXPECT_EQ(kvp::RunGuarded(ReadNull, nullptr), FaultKind::AccessViolation);
  int calls = 0;
  EXPECT_EQ(kvp::RunGuarded(Fine, &calls), FaultKind::None);
  EXPECT_EQ(calls, 1);
}

TEST(FaultGuard, SignalCodesMapToTheirKinds) {
  EXPECT_EQ(kvp::FaultKindOf(SIGFPE, FPE_INTOVF, false), FaultKind::IntegerOverflow);
  EXPECT_EQ(kvp::FaultKindOf(SIGFPE, FPE_FLTDIV, false), FaultKind::FloatDivideByZero);
  EXPECT_EQ(kvp::FaultKindOf(SIGFPE, FPE_FLTOVF, false), FaultKind::FloatOverflow);
  EXPECT_EQ(kvp::FaultKindOf(SIGFPE, FPE_FLTUND, false), FaultKind::FloatUnderflow);
  EXPECT_EQ(kvp::FaultKindOf(SIGFPE, FPE_FLTRES, false), FaultKind::FloatInexactResult);
  EXPECT_EQ(kvp::FaultKindOf(SIGFPE, FPE_FLTINV, false), FaultKind::FloatInvalidOperation);
  EXPECT_EQ(kvp::FaultKindOf(SIGFPE, FPE_FLTSUB, false), FaultKind::ArrayBoundsExceeded);
  EXPECT_EQ(kvp::FaultKindOf(SIGBUS, BUS_ADRALN, false), FaultKind::DatatypeMisalignment);
  EXPECT_EQ(kvp::FaultKindOf(SIGBUS, BUS_OBJERR, false), FaultKind::InPageError);
  EXPECT_EQ(kvp::FaultKindOf(SIGILL, ILL_PRVOPC, false), FaultKind::PrivilegedInstruction);
  EXPECT_EQ(kvp::FaultKindOf(SIGTRAP, TRAP_TRACE, false), FaultKind::SingleStep);
  EXPECT_EQ(kvp::FaultKindOf(SIGTRAP, TRAP_BRKPT, false), FaultKind::Breakpoint);
  EXPECT_EQ(kvp::FaultKindOf(SIGSEGV, SEGV_MAPERR, true), FaultKind::StackOverflow);
}

TEST(FaultGuard, ThreadsFaultingTogetherEachRecover) {
  std::atomic<int> recovered{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&recovered] {
      for (int i = 0; i < 50; ++i) {
        int zero = 0;
        if (kvp::RunGuarded(ReadNull, nullptr) == FaultKind::AccessViolation &&
            kvp::RunGuarded(DivideByZero, &zero) == FaultKind::IntegerDivideByZero)
          ++recovered;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(recovered.load(), 200);
}

TEST(FaultGuardDeathTest, FaultOutsideAGuardedCallStaysACrash) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer turns the crash into a report of its own; the other builds "
                  "check this";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  int calls = 0;
  ASSERT_EQ(kvp::RunGuarded(Fine, &calls), FaultKind::None);  // the handler is installed
  EXPECT_DEATH(ReadNull(nullptr), "");
}

class ServerFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    directory.Passwords("alice=Secret\n");
    server = std::make_unique<kvrpctest::RunningServer>(0);
  }
  // One call on a new session: its status and what the client showed.
  long CallOnce(CallRecord& call) {
    clCLIENT* client = kvrpctest::Connect(server->Port());
    if (client == nullptr) return -1;
    const long status = call.Run(client);
    DeconnecteLibrairie(client);
    return status;
  }
  kvrpctest::ServerDirectory directory;
  kvrpctest::MessageLog log;
  std::unique_ptr<kvrpctest::RunningServer> server;
};

TEST_F(ServerFaults, FaultsGiveTheirStatusesAndTheServerServesOn) {
  CallRecord null("ReadNull", 4);
  EXPECT_EQ(CallOnce(null), 6);
  EXPECT_TRUE(log.Saw("RPC ERROR",
                      "La fonction ReadNull a provoqu\xE9 l'exception suivante lors "
                      "de son ex\xE9"
                      "cution sur le serveur:\nAccess violation"));
  CallRecord divide("Divide", 4);
  divide.Value(4, 7, 4).Value(4, 0, 4);
  EXPECT_EQ(CallOnce(divide), 20);
  EXPECT_TRUE(log.Saw("RPC ERROR", "Entier divis\xE9 par z\xE9ro"));
  CallRecord illegal("Illegal", 1);
  EXPECT_EQ(CallOnce(illegal), 18);
  CallRecord breakpoint("Breakpoint", 1);
  EXPECT_EQ(CallOnce(breakpoint), 8);
  CallRecord bus("Misaligned", 1);
  EXPECT_EQ(CallOnce(bus), 19);
  CallRecord deep("Recurse", 4);
  deep.Value(4, 0, 4).Value(4, 0x7FFFFFFF, 4);
  EXPECT_EQ(CallOnce(deep), 26);
  EXPECT_TRUE(log.Saw("RPC ERROR",
                      "D\xE9"
                      "bordement de pile"));
  // The server still answers, on a new session, and calls work there.
  CallRecord echo("EchoI32", 4);
  echo.Value(4, 1234, 4);
  EXPECT_EQ(CallOnce(echo), 0);
  EXPECT_EQ(echo.ResultI32(), 1234);
}

TEST_F(ServerFaults, AFaultEndsOnlyItsOwnSession) {
  clCLIENT* bystander = kvrpctest::Connect(server->Port());
  ASSERT_NE(bystander, nullptr);
  CallRecord null("ReadNull", 4);
  EXPECT_EQ(CallOnce(null), 6);
  CallRecord echo("EchoI32", 4);
  echo.Value(4, 77, 4);
  EXPECT_EQ(echo.Run(bystander), 0);
  EXPECT_EQ(echo.ResultI32(), 77);
  DeconnecteLibrairie(bystander);
}

}  // namespace
