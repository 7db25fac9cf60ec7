// Our libraries found by their runtime names (libkvxbase.so.1) where the
// development link (libkvxbase.so) is not installed.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <string>

#include "platform/kernel/system.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace kvp;

// A library of the system (the maths library) stands in for ours, placed in
// a folder of the test's own under the names given.
class RuntimeNames : public ::testing::Test {
 protected:
  void SetUp() override {
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&::cos), &info), 0);
    maths_ = info.dli_fname;
    maths_handle_ = dlopen(maths_.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(maths_handle_, nullptr);
    ASSERT_TRUE(SetDllDirectoryA(dir_.path().c_str()));
  }
  void TearDown() override {
    SetDllDirectoryA(nullptr);
    if (maths_handle_ != nullptr) dlclose(maths_handle_);
  }
  void Place(const std::string& file, const std::string& target) {
    ASSERT_EQ(symlink(target.c_str(), dir_.File(file).c_str()), 0) << file;
  }

  kvtest::TempDir dir_;
  std::string maths_;
  void* maths_handle_ = nullptr;
};

TEST_F(RuntimeNames, OurLibraryLoadsByItsRuntimeNameAlone) {
  Place("libkvstandin.so.1", maths_);
  HMODULE module = LoadLibraryA("kvstandin.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module, maths_handle_);
  EXPECT_NE(GetProcAddress(module, "cos"), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
  // The name the map gives stays the development one.
  char mapped[64];
  EXPECT_GT(MapModuleName("kvstandin.dll", mapped, sizeof mapped), 0u);
  EXPECT_STREQ(mapped, "libkvstandin.so");
}

TEST_F(RuntimeNames, TheDevelopmentLinkComesFirst) {
  // Two different objects: the runtime name must not win over the link.
  Dl_info platform{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&LoadLibraryA), &platform), 0);
  Place("libkvpair.so", maths_);
  Place("libkvpair.so.1", platform.dli_fname);
  HMODULE module = LoadLibraryA("kvpair.dll");
  EXPECT_EQ(module, maths_handle_);
  if (module != nullptr) FreeLibrary(module);
}

TEST_F(RuntimeNames, OnlyTheCurrentMajorVersionAndOnlyOurLibraries) {
  // Another major version is another interface; a library that is not ours
  // keeps its own versioning, which the map does not guess.
  Place("libkvold.so.0", maths_);
  Place("libkvnext.so.2", maths_);
  Place("libstandalone.so.1", maths_);
  for (const char* name : {"kvold.dll", "kvnext.dll", "standalone.dll"}) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(name), nullptr) << name;
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND) << name;
  }
}

}  // namespace
