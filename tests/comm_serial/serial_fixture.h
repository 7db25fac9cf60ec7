// A kvcomm instance whose ports are mapped, in a temporary win.ini, to the
// ends of a socat pseudo-terminal pair; a recording device seam that keeps
// what the port functions asked of the device.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>

#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/serial/port_table.h"
#include "kv/comm_instance.h"
#include "kv/comm_serial.h"
#include "platform/commport/comm_device.h"
#include "tests/comm_serial/comm_call.h"
#include "tests/comm_serial/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace commtest {

// Keeps the last termios each port asked for and answers it back, as a
// real UART keeps its framing; records control-line and flow changes and
// answers them as a modem-capable line would.
class RecordingDevice : public kvp::CommDeviceOps {
 public:
  struct LineChange {
    int lines;
    bool raise;
  };
  std::optional<termios> settings;  // what the device holds
  std::vector<termios> applied;
  std::vector<LineChange> lineChanges;
  std::vector<int> flows;
  std::vector<bool> breaks;

  int GetAttributes(int fd, termios* t) override {
    if (int e = CommDeviceOps::GetAttributes(fd, t); e != 0) return e;
    if (settings) *t = *settings;
    return 0;
  }
  int SetAttributes(int fd, const termios& t) override {
    applied.push_back(t);
    settings = t;
    return CommDeviceOps::SetAttributes(fd, t);
  }
  int SetModemLines(int, int lines, bool raise) override {
    lineChanges.push_back({lines, raise});
    return 0;
  }
  int SetBreak(int, bool on) override {
    breaks.push_back(on);
    return 0;
  }
  int Flow(int fd, int action) override {
    flows.push_back(action);
    return CommDeviceOps::Flow(fd, action);
  }
  bool LastLine(int line, bool raise) const {
    for (auto it = lineChanges.rbegin(); it != lineChanges.rend(); ++it) {
      if (it->lines & line) return it->raise == raise;
    }
    return false;
  }
};

class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(::getenv("KV_COMM_CONFIGURED_ONLY"), nullptr)
        << "the serial tests must run with KV_COMM_CONFIGURED_ONLY=1";
    ::setenv("KV_WINDIR", dir_.path().c_str(), 1);
    pair_ = std::make_unique<PtyPair>(dir_.path());
    record_.networkMarker = 1;
    instance_.record = &record_;
    kv::comm::InitPortTable(instance_);
    previous_ = kvp::SetCommDeviceOps(&device_);
  }
  void TearDown() override {
    kv::comm::ClosePortTable(instance_);
    kvp::SetCommDeviceOps(previous_);
    pair_.reset();
  }

  // Writes win.ini's "Ports" section: COM3 on end a, COM4 on end b,
  // LPT2 on a file standing in for a printer, plus `entries` ("COM3:" ->
  // "9600,n,8,1").
  void WritePorts(const std::map<std::string, std::string>& entries) {
    std::ofstream(dir_.File("printer"), std::ios::app).flush();
    std::ofstream ini(dir_.File("win.ini"), std::ios::trunc);
    ini << "[Ports]\r\nCOM3.Device=" << pair_->a() << "\r\nCOM4.Device=" << pair_->b()
        << "\r\nLPT2.Device=" << dir_.File("printer") << "\r\n";
    for (const auto& [key, value] : entries) ini << key << "=" << value << "\r\n";
  }

  Outcome Run(KvLanguageFunction f, std::vector<Arg> args, int16_t syntax = 0,
              uint8_t preset = kResultAny9, uint32_t capacity = 256) {
    return Call(f, &instance_, syntax, args, preset, capacity);
  }
  bool Open(int32_t port) { return Run(SERIE_bsOuvre, {port, 0, 0}).Boolean() == 1; }
  void* Handle(int32_t port) { return instance_.ports[port + KV_COMM_PORT_BIAS]; }

  kvtest::TempDir dir_;
  std::unique_ptr<PtyPair> pair_;
  CommRecord record_{};
  CommInstanceContext instance_{};
  RecordingDevice device_;
  kvp::CommDeviceOps* previous_ = nullptr;
};

}  // namespace commtest
