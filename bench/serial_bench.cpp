// Bytes per second through a pseudo-terminal pair (one socat relaying
// between two terminals): written through SERIE_bsEcrit on one end and read
// through SERIE_bsLit on the other, against socat itself copying the same
// stream in and out of the pair; interleaved repetitions, the ratio of the
// best times printed.
//
//   bench_serial DIR [MEGABYTES] [REPETITIONS]
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/comm_bench_call.h"
#include "comm/serial/port_table.h"
#include "kv/comm_instance.h"
#include "kv/comm_serial.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 4096;

pid_t Spawn(const std::vector<std::string>& args) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return child;
}

int Wait(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// COM3 -> COM4 through our functions; the bytes that arrived.
size_t Ours(size_t total) {
  CommRecord record{};
  CommInstanceContext instance{};
  instance.record = &record;
  kv::comm::InitPortTable(instance);
  commbench::Call open3(&instance, 0, {3, 0, 0}), open4(&instance, 0, {4, 0, 0});
  open3.Run(SERIE_bsOuvre);
  open4.Run(SERIE_bsOuvre);
  std::thread writer([&] {
    const std::string chunk(kChunk + 1, 'k');  // the size counts a terminating zero
    commbench::Call write(&instance, 0, {3}, chunk.data(), chunk.size(), 2);
    for (size_t sent = 0; sent < total; sent += kChunk) write.Run(SERIE_bsEcrit);
  });
  size_t got = 0;
  commbench::Call waiting(&instance, 0, {4});
  commbench::Call read(&instance, 0, {4, static_cast<int32_t>(kChunk)}, nullptr, 0, 0, kChunk + 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (got < total && std::chrono::steady_clock::now() < deadline) {
    read.Run(SERIE_bsLit);
    got += read.block.resultLength;
    if (read.block.resultLength == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  writer.join();
  kv::comm::ClosePortTable(instance);
  return got;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_serial DIR [MEGABYTES] [REPETITIONS]\n");
    return 2;
  }
  const fs::path dir = argv[1];
  const size_t total = (argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 16) << 20;
  const int repetitions = argc > 3 ? std::atoi(argv[3]) : 3;
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string a = (dir / "a").string(), b = (dir / "b").string();
  const pid_t relay =
      Spawn({"/usr/bin/socat", "-b65536", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b});
  while (!(fs::exists(a) && fs::exists(b)))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ofstream(dir / "win.ini") << "[Ports]\nCOM3.Device=" << a << "\nCOM3:=115200,n,8,1\n"
                                 << "COM4.Device=" << b << "\nCOM4:=115200,n,8,1\n";
  {
    std::ofstream data(dir / "data.bin", std::ios::binary);
    const std::string chunk(kChunk, 'k');
    for (size_t sent = 0; sent < total; sent += kChunk) data << chunk;
  }
  ::setenv("KV_WINDIR", dir.c_str(), 1);
  ::setenv("KV_COMM_CONFIGURED_ONLY", "1", 1);

  double ours = 1e9, theirs = 1e9;
  for (int r = 0; r < repetitions; ++r) {
    auto start = std::chrono::steady_clock::now();
    const size_t got = Ours(total);
    ours = std::min(ours, Seconds(std::chrono::steady_clock::now() - start));
    if (got != total) {
      std::fprintf(stderr, "ours: %zu of %zu bytes arrived\n", got, total);
      return 1;
    }
    start = std::chrono::steady_clock::now();
    const pid_t reader =
        Spawn({"/usr/bin/socat", "-u", "-b65536",
               "OPEN:" + b + ",raw,echo=0,readbytes=" + std::to_string(total), "OPEN:/dev/null"});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the reader is open first
    const pid_t writer =
        Spawn({"/usr/bin/socat", "-u", "-b65536", "OPEN:" + (dir / "data.bin").string(),
               "OPEN:" + a + ",raw,echo=0"});
    const int w = Wait(writer), rd = Wait(reader);
    theirs = std::min(theirs, Seconds(std::chrono::steady_clock::now() - start) - 0.05);
    if (w != 0 || rd != 0) {
      std::fprintf(stderr, "socat failed (%d, %d)\n", w, rd);
      return 1;
    }
  }
  ::kill(relay, SIGTERM);
  Wait(relay);
  const double mb = static_cast<double>(total) / (1 << 20);
  std::printf(
      "serial megabytes %.0f repetitions %d ours %.3f s (%.1f MB/s) socat %.3f s "
      "(%.1f MB/s) ratio %.2f\n",
      mb, repetitions, ours, mb / ours, theirs, mb / theirs, theirs / ours);
  fs::remove_all(dir);
  return 0;
}
