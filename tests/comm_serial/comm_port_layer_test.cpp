// The platform's port functions on their own: the name table, the
// translation of line settings to termios and back, exclusive opens.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "platform/commport/comm_device.h"
#include "platform/commport/comm_state.h"
#include "platform/kernel/files.h"
#include "tests/comm_serial/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Mapped(const char* name) {
  char buffer[256] = {};
  return kvp::MapCommDeviceName(name, buffer, sizeof buffer) > 0 ? buffer : "";
}

class PortNames : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("KV_WINDIR", dir_.path().c_str(), 1); }
  void TearDown() override { ::setenv("KV_COMM_CONFIGURED_ONLY", "1", 1); }
  kvtest::TempDir dir_;
};

TEST_F(PortNames, DefaultsNameTheLinuxDevicesOnlyWhenAllowed) {
  ::setenv("KV_COMM_CONFIGURED_ONLY", "0", 1);
  EXPECT_EQ(Mapped("COM1"), "/dev/ttyS0");
  EXPECT_EQ(Mapped("com12:"), "/dev/ttyS11");
  EXPECT_EQ(Mapped("LPT2"), "/dev/lp1");
  EXPECT_EQ(Mapped("LPT0"), "");  // no device of its own
  ::setenv("KV_COMM_CONFIGURED_ONLY", "1", 1);
  EXPECT_EQ(Mapped("COM1"), "");
  EXPECT_EQ(kvp::GetLastError(), kvp::ERROR_FILE_NOT_FOUND);
}

TEST_F(PortNames, ProfileOverridesTheDeviceAndOddNamesAreRefused) {
  std::ofstream(dir_.File("win.ini")) << "[ports]\ncom2.device=/tmp/scale\nLPT0.Device=/dev/null\n";
  EXPECT_EQ(Mapped("COM2"), "/tmp/scale");
  EXPECT_EQ(Mapped("LPT0"), "/dev/null");
  for (const char* bad : {"COM0", "COM", "COMX", "COM1a", "COM99999", "AUX1", "", "LPT-1"}) {
    EXPECT_EQ(Mapped(bad), "") << bad;
  }
  EXPECT_EQ(kvp::MapCommDeviceName(nullptr, nullptr, 0), 0u);
  char tiny[4];
  EXPECT_EQ(kvp::MapCommDeviceName("COM2", tiny, sizeof tiny), 0u);
  EXPECT_EQ(kvp::GetLastError(), kvp::ERROR_INSUFFICIENT_BUFFER);
}

termios Translated(const kvp::DCB& dcb, bool& ok) {
  termios t{};
  ok = kvp::CommStateToTermios(dcb, t);
  return t;
}

TEST(LineSettings, FramingParityAndFlowReachTermiosAndComeBack) {
  struct Case {
    uint32_t baud;
    uint8_t size, parity, stop;
    tcflag_t cflags;  // expected within CSIZE | PARENB | PARODD | CMSPAR | CSTOPB
    speed_t speed;
  };
  const Case cases[] = {
      {9600, 8, kvp::NOPARITY, kvp::ONESTOPBIT, CS8, B9600},
      {19200, 7, kvp::EVENPARITY, kvp::TWOSTOPBITS, CS7 | PARENB | CSTOPB, B19200},
      {1200, 7, kvp::ODDPARITY, kvp::ONESTOPBIT, CS7 | PARENB | PARODD, B1200},
      {115200, 8, kvp::MARKPARITY, kvp::ONESTOPBIT, CS8 | PARENB | PARODD | CMSPAR, B115200},
      {50, 6, kvp::SPACEPARITY, kvp::ONESTOPBIT, CS6 | PARENB | CMSPAR, B50},
      {300, 5, kvp::NOPARITY, kvp::ONE5STOPBITS, CS5 | CSTOPB, B300},
  };
  for (const Case& c : cases) {
    kvp::DCB dcb;
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.size;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stop;
    dcb.fParity = 1;
    bool ok = false;
    termios t = Translated(dcb, ok);
    ASSERT_TRUE(ok) << c.baud;
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.cflags) << c.baud;
    EXPECT_EQ(cfgetospeed(&t), c.speed);
    EXPECT_EQ(cfgetispeed(&t), c.speed);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parity != kvp::NOPARITY);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u) << "ports run raw";
    kvp::DCB back;
    kvp::CommStateFromTermios(t, back);
    EXPECT_EQ(back.BaudRate, c.baud);
    EXPECT_EQ(back.ByteSize, c.size);
    EXPECT_EQ(back.Parity, c.parity);
    EXPECT_EQ(back.StopBits, c.stop);
  }

  kvp::DCB flow;
  flow.BaudRate = 9600;
  flow.fOutX = flow.fInX = 1;
  flow.fOutxCtsFlow = 1;
  flow.XonChar = 17;
  flow.XoffChar = 19;
  bool ok = false;
  termios t = Translated(flow, ok);
  ASSERT_TRUE(ok);
  EXPECT_NE(t.c_iflag & IXON, 0u);
  EXPECT_NE(t.c_iflag & IXOFF, 0u);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_cc[VSTART], 17);
  EXPECT_EQ(t.c_cc[VSTOP], 19);
}

TEST(LineSettings, SettingsTermiosCannotHoldAreRefused) {
  auto refused = [](auto change) {
    kvp::DCB dcb;
    dcb.BaudRate = 9600;
    change(dcb);
    termios t{};
    return !kvp::CommStateToTermios(dcb, t);
  };
  EXPECT_TRUE(refused([](kvp::DCB& d) { d.BaudRate = 12345; }));
  EXPECT_TRUE(refused([](kvp::DCB& d) { d.BaudRate = 0; }));
  EXPECT_TRUE(refused([](kvp::DCB& d) { d.ByteSize = 4; }));
  EXPECT_TRUE(refused([](kvp::DCB& d) { d.ByteSize = 9; }));
  EXPECT_TRUE(refused([](kvp::DCB& d) { d.Parity = 5; }));
  EXPECT_TRUE(refused([](kvp::DCB& d) { d.StopBits = 3; }));
  EXPECT_TRUE(refused([](kvp::DCB& d) { d.StopBits = kvp::ONE5STOPBITS; }));  // with 8 bits
  EXPECT_FALSE(refused([](kvp::DCB&) {}));
}

class ExclusiveOpen : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KV_WINDIR", dir_.path().c_str(), 1);
    pair_ = std::make_unique<commtest::PtyPair>(dir_.path());
    std::ofstream(dir_.File("win.ini")) << "[Ports]\nCOM7.Device=" << pair_->a() << "\n";
  }
  static kvp::HANDLE OpenCom7() {
    return kvp::CreateCommFileA("COM7", kvp::GENERIC_READ | kvp::GENERIC_WRITE, 0, nullptr,
                                kvp::OPEN_EXISTING, 0, nullptr);
  }
  // Whether another process can open the port now.
  static bool ChildCanOpen() {
    pid_t child = ::fork();
    if (child == 0) {
      kvp::HANDLE h = OpenCom7();
      ::_exit(h == kvp::INVALID_HANDLE_VALUE ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  kvtest::TempDir dir_;
  std::unique_ptr<commtest::PtyPair> pair_;
};

TEST_F(ExclusiveOpen, AnOpenPortKeepsOtherOpensAndOtherProcessesOut) {
  kvp::HANDLE first = OpenCom7();
  ASSERT_NE(first, kvp::INVALID_HANDLE_VALUE) << kvp::GetLastError();
  EXPECT_EQ(OpenCom7(), kvp::INVALID_HANDLE_VALUE);
  EXPECT_EQ(kvp::GetLastError(), kvp::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ChildCanOpen());
  ASSERT_TRUE(kvp::CloseHandle(first));
  EXPECT_TRUE(ChildCanOpen());
  kvp::HANDLE again = OpenCom7();
  EXPECT_NE(again, kvp::INVALID_HANDLE_VALUE);
  kvp::CloseHandle(again);
}

TEST_F(ExclusiveOpen, SharedOrCreatingOpensAndMissingDevicesFail) {
  EXPECT_EQ(kvp::CreateCommFileA("COM7", kvp::GENERIC_READ | kvp::GENERIC_WRITE, 1, nullptr,
                                 kvp::OPEN_EXISTING, 0, nullptr),
            kvp::INVALID_HANDLE_VALUE);
  EXPECT_EQ(
      kvp::CreateCommFileA("COM7", kvp::GENERIC_READ, 0, nullptr, kvp::OPEN_EXISTING, 0, nullptr),
      kvp::INVALID_HANDLE_VALUE);
  std::ofstream(dir_.File("win.ini")) << "[Ports]\nCOM7.Device=" << dir_.File("gone") << "\n";
  EXPECT_EQ(OpenCom7(), kvp::INVALID_HANDLE_VALUE);
  EXPECT_EQ(kvp::GetLastError(), kvp::ERROR_FILE_NOT_FOUND);
  kvp::DCB dcb;
  EXPECT_FALSE(kvp::GetCommState(kvp::INVALID_HANDLE_VALUE, &dcb));
  EXPECT_FALSE(kvp::EscapeCommFunction(nullptr, kvp::SETDTR));
}

}  // namespace
