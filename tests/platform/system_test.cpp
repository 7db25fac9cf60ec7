// Local time, process identity and module loading.
#include "platform/kernel/system.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <string>

#include "tests/platform/test_support.h"

namespace {

using namespace kvp;

TEST(LocalTime, MatchesTheClock) {
  // Retried when a second boundary falls between the two readings. The
  // readings use the same clock as GetLocalTime: time() may read a coarser
  // clock that turns over a tick later.
  auto seconds = [] {
    struct timespec t {};
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec;
  };
  for (int attempt = 0; attempt < 5; ++attempt) {
    time_t before = seconds();
    SYSTEMTIME now{};
    GetLocalTime(&now);
    time_t after = seconds();
    if (before != after) continue;
    struct tm local {};
    localtime_r(&before, &local);
    EXPECT_EQ(now.wYear, local.tm_year + 1900);
    EXPECT_EQ(now.wMonth, local.tm_mon + 1);
    EXPECT_EQ(now.wDay, local.tm_mday);
    EXPECT_EQ(now.wDayOfWeek, local.tm_wday);
    EXPECT_EQ(now.wHour, local.tm_hour);
    EXPECT_EQ(now.wMinute, local.tm_min);
    EXPECT_EQ(now.wSecond, local.tm_sec);
    EXPECT_LT(now.wMilliseconds, 1000);
    return;
  }
  FAIL() << "the clock kept crossing second boundaries";
}

TEST(ProcessIdentity, IsThePidOfTheCaller) {
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
  const DWORD parent = GetCurrentProcessId();
  // A child has its own identity (reported as "differs from the parent").
  EXPECT_EQ(kvtest::RunInChild([parent] {
              return GetCurrentProcessId() == static_cast<DWORD>(getpid()) &&
                             GetCurrentProcessId() != parent
                         ? 0
                         : 1;
            }),
            0);
}

int forkedChildCalls = 0;
void CountForkedChildCall() {
  ++forkedChildCalls;
}

TEST(ProcessIdentity, ForkedChildHandlersRunOnceInTheChildOnlyUntilStopped) {
  forkedChildCalls = 0;
  EXPECT_EQ(CallInForkedChild(CountForkedChildCall), TRUE_);
  EXPECT_EQ(CallInForkedChild(CountForkedChildCall), TRUE_);  // the same handler: still once
  EXPECT_EQ(CallInForkedChild(nullptr), FALSE_);
  EXPECT_EQ(kvtest::RunInChild([] { return forkedChildCalls == 1 ? 0 : 1; }), 0);
  EXPECT_EQ(forkedChildCalls, 0) << "the parent runs no handler";
  StopCallingInForkedChild(CountForkedChildCall);
  EXPECT_EQ(kvtest::RunInChild([] { return forkedChildCalls == 0 ? 0 : 1; }), 0);
}

std::string Mapped(const char* name) {
  char buffer[256];
  DWORD length = MapModuleName(name, buffer, sizeof buffer);
  return length == 0 ? "<failed>" : std::string(buffer, length);
}

class Modules : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetenv("KV_MODULE_ODBC32_DLL");
    unsetenv("KV_MODULE_KVHOST_DLL");
    unsetenv("KV_MODULE_MATHS_DLL");
  }
};

TEST_F(Modules, WindowsNamesMapToLinuxLibraries) {
  EXPECT_EQ(Mapped("kvhost.DLL"), "libkvhost.so");
  EXPECT_EQ(Mapped("kvhost"), "libkvhost.so");
  EXPECT_EQ(Mapped("odbc32.dll"), "libodbc.so.2");
  EXPECT_EQ(Mapped("ODBC32.DLL"), "libodbc.so.2");
  EXPECT_EQ(Mapped("MAPI32.DLL"), "libkvmapi.so");
  EXPECT_EQ(Mapped("kvxbase.dll"), "libkvxbase.so");
  EXPECT_EQ(Mapped("C:\\WINDOWS\\SYSTEM\\kvhfile.dll"), "libkvhfile.so");
  EXPECT_EQ(Mapped("/opt/kv/KvChart.dll"), "/opt/kv/libkvchart.so");
  EXPECT_EQ(Mapped("libm.so.6"), "libm.so.6");
  EXPECT_EQ(Mapped("/usr/lib/libz.so"), "/usr/lib/libz.so");
}

TEST_F(Modules, TheEnvironmentOverridesTheMapping) {
  setenv("KV_MODULE_ODBC32_DLL", "/opt/odbc/libiodbc.so.2", 1);
  setenv("KV_MODULE_KVHOST_DLL", "libotherhost.so", 1);
  EXPECT_EQ(Mapped("odbc32.dll"), "/opt/odbc/libiodbc.so.2");
  EXPECT_EQ(Mapped("Odbc32.Dll"), "/opt/odbc/libiodbc.so.2");
  EXPECT_EQ(Mapped("kvhost"), "libotherhost.so");  // the same module as kvhost.dll
  setenv("KV_MODULE_KVHOST_DLL", "", 1);           // empty: no override
  EXPECT_EQ(Mapped("kvhost.dll"), "libkvhost.so");
}

TEST_F(Modules, MappingIntoTooSmallABufferFails) {
  char buffer[13];
  EXPECT_EQ(MapModuleName("kvhost.DLL", buffer, 12), 0u);  // 12 characters + NUL
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MapModuleName("kvhost.DLL", buffer, 13), 12u);
  EXPECT_EQ(MapModuleName(nullptr, buffer, 13), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Modules, LoadsLibrariesAndFindsTheirFunctions) {
  setenv("KV_MODULE_MATHS_DLL", "libm.so.6", 1);
  HMODULE maths = LoadLibraryA("maths.dll");
  ASSERT_NE(maths, nullptr);
  using Cosine = double (*)(double);
  auto cosine = reinterpret_cast<Cosine>(GetProcAddress(maths, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(GetProcAddress(maths, "no_such_function"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(maths, reinterpret_cast<const char*>(uintptr_t{12})), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetModuleHandleA("maths.dll"), maths);
  EXPECT_TRUE(FreeLibrary(maths));

  EXPECT_EQ(LoadLibraryA("no-such-module.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(GetModuleHandleA("no-such-module.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
  EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST_F(Modules, BareNamesAreLookedUpFirstInTheDllDirectory) {
  // A library of the system stands in for one of ours, under our naming.
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&::cos), &info), 0);
  kvtest::TempDir dir;
  ASSERT_EQ(symlink(info.dli_fname, dir.File("libstandin.so").c_str()), 0);
  EXPECT_EQ(LoadLibraryA("standin.dll"), nullptr) << "not on any search path yet";
  ASSERT_TRUE(SetDllDirectoryA(dir.path().c_str()));
  HMODULE module = LoadLibraryA("standin.dll");
  EXPECT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "cos"), nullptr);
  FreeLibrary(module);
  SetDllDirectoryA(nullptr);
}

TEST_F(Modules, OurOwnLibrariesAreFoundByTheirWindowsNames) {
  // libkvplatform.so is loaded already (this test links it); the Windows
  // name finds the same module.
  HMODULE platform = LoadLibraryA("KVPLATFORM.DLL");
  ASSERT_NE(platform, nullptr);
  EXPECT_NE(GetProcAddress(platform, "_ZN3kvp12GetLastErrorEv"), nullptr);
  EXPECT_TRUE(FreeLibrary(platform));
}

}  // namespace
