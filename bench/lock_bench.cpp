// The cost of a record lock: XBDDRLOCK mode 7 then mode 6 on records 1..N
// (each a real byte-range lock and unlock of the record's byte), against the
// same pair of calls one layer down (the platform's LockFile/UnlockFile)
// and at the bottom (fcntl F_OFD_SETLK on one byte, the floor).
//
//   bench_lock DIR N
//
// Prints one line per path:
//   RESULT path roundtrips wall-seconds cpu-seconds
// and fails when any lock was not obtained or a byte is still locked at the
// end. The data file is written into DIR.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "kv/xbase.h"
#include "platform/kernel/files.h"

namespace {

constexpr uint32_t kRecordBase = 0x7FFFFFBFu;  // record r's byte: kRecordBase - r

// A dBASE III file with one C(10) field and no records, byte by byte.
bool WriteDataFile(const std::string& path) {
  std::string bytes(32, '\0');
  bytes[0] = 0x03;
  bytes[1] = 126;
  bytes[2] = 12;
  bytes[3] = 8;
  bytes[8] = 65;   // header length 32 + 32 + 1
  bytes[10] = 11;  // record length 1 + 10
  std::string field(32, '\0');
  field.replace(0, 4, "NAME");
  field[11] = 'C';
  field[16] = 10;
  bytes += field;
  bytes += '\x0D';
  bytes += '\x1A';
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Wall time and the process's CPU time (user + system): the machine may be
// shared, and CPU time does not count waiting for a processor.
struct Clock {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double cpu = CpuSeconds();
  static double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
};

struct Timing {
  double wall = 0;
  double cpu = 0;
};

Timing Since(const Clock& start) {
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start.wall).count(),
          Clock::CpuSeconds() - start.cpu};
}

[[noreturn]] void Fail(const char* what, uint32_t r) {
  std::fprintf(stderr, "bench_lock: %s (record %u)\n", what, r);
  std::exit(1);
}

// XBDDRLOCK 7 then 6 on each record; `held` records stay locked throughout
// so that the handle's list is that long.
Timing Engine(const std::string& path, uint32_t n, uint32_t held) {
  XBHANDLE h = XB_NO_HANDLE;
  if (XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED | 1) != 0) Fail("open", 0);
  int16_t lockStatus = 0;
  for (uint32_t r = 0; r < held; ++r) {
    if (XBDDRLOCK(h, n + 1 + r, 7, &lockStatus) != 0 || lockStatus != 0) Fail("hold", r);
  }
  const Clock start;
  for (uint32_t r = 1; r <= n; ++r) {
    if (XBDDRLOCK(h, r, 7, &lockStatus) != 0 || lockStatus != 0) Fail("lock refused", r);
    if (XBDDRLOCK(h, r, 6, &lockStatus) != 0) Fail("unlock failed", r);
  }
  const Timing seconds = Since(start);
  if (XBDDRLOCK(h, 0, 6, &lockStatus) != 0) Fail("unlock all", 0);
  if (XBDDCLOSE(h) != 0) Fail("close", 0);
  return seconds;
}

Timing Platform(const std::string& path, uint32_t n) {
  kvp::HANDLE h = kvp::CreateFileA(path.c_str(), kvp::GENERIC_READ | kvp::GENERIC_WRITE,
                                   kvp::FILE_SHARE_READ | kvp::FILE_SHARE_WRITE, nullptr,
                                   kvp::OPEN_EXISTING, kvp::FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == kvp::INVALID_HANDLE_VALUE) Fail("platform open", 0);
  const Clock start;
  for (uint32_t r = 1; r <= n; ++r) {
    if (!kvp::LockFile(h, kRecordBase - r, 0, 1, 0)) Fail("LockFile", r);
    if (!kvp::UnlockFile(h, kRecordBase - r, 0, 1, 0)) Fail("UnlockFile", r);
  }
  const Timing seconds = Since(start);
  kvp::CloseHandle(h);
  return seconds;
}

bool SetLock(int fd, short type, uint32_t offset) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

Timing Floor(const std::string& path, uint32_t n) {
  const int fd = ::open(path.c_str(), O_RDWR);
  if (fd < 0) Fail("open for fcntl", 0);
  const Clock start;
  for (uint32_t r = 1; r <= n; ++r) {
    if (!SetLock(fd, F_WRLCK, kRecordBase - r)) Fail("fcntl lock", r);
    if (!SetLock(fd, F_UNLCK, kRecordBase - r)) Fail("fcntl unlock", r);
  }
  const Timing seconds = Since(start);
  ::close(fd);
  return seconds;
}

// After every run nothing may be left locked: a lock over every record byte
// and the slots from a fresh open must be granted.
void CheckNothingLocked(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR);
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 0x5FFFFFC0;
  probe.l_len = 0x2000003F;
  if (fd < 0 || ::fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type != F_UNLCK)
    Fail("a byte is still locked", 0);
  ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_lock DIR N\n");
    return 2;
  }
  const std::string path = std::string(argv[1]) + "/lock-bench.dbf";
  const auto n = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  if (n == 0 || !WriteDataFile(path)) Fail("cannot write the data file", 0);
  if (XBDINIT(100, 4) != 0) Fail("XBDINIT", 0);

  // One untimed pass of each warms the code and the kernel's lock structures.
  const uint32_t warm = n < 10000 ? n : 10000;
  Engine(path, warm, 0);
  Platform(path, warm);
  Floor(path, warm);

  struct Run {
    const char* name;
    Timing timing;
  };
  Run runs[4];
  runs[0] = {"engine", Engine(path, n, 0)};
  CheckNothingLocked(path);
  runs[1] = {"engine-1000-held", Engine(path, n, 1000)};
  CheckNothingLocked(path);
  runs[2] = {"platform", Platform(path, n)};
  CheckNothingLocked(path);
  runs[3] = {"fcntl", Floor(path, n)};
  CheckNothingLocked(path);
  for (const Run& run : runs)
    std::printf("RESULT %s %u %.6f %.6f\n", run.name, n, run.timing.wall, run.timing.cpu);
  XBDTERM();
  return 0;
}
